// Gives a headless wlroots compositor (sway) a pointer, as plugging in a
// mouse would, and keeps it until killed: the compositor's own cursor
// commands then move and click it. Exits 1 where the compositor offers none.
#include <poll.h>
#include <wayland-client.h>

#include <cstdint>
#include <cstring>

namespace {

// The two interfaces of wlroots' virtual pointer protocol that are used,
// written out as its generated code would be (Debian has no package of it).
const wl_interface* kNone[5] = {};
const wl_message kPointerRequests[] = {
    {"motion", "uff", kNone},   {"motion_absolute", "uuuuu", kNone},
    {"button", "uuu", kNone},   {"axis", "uuf", kNone},
    {"frame", "", kNone},       {"axis_source", "u", kNone},
    {"axis_stop", "uu", kNone}, {"axis_discrete", "uufi", kNone},
    {"destroy", "", kNone},
};
const wl_interface kPointer = {"zwlr_virtual_pointer_v1", 1, 9, kPointerRequests, 0, nullptr};
const wl_interface* kCreateTypes[] = {&wl_seat_interface, &kPointer};
const wl_message kManagerRequests[] = {{"create_virtual_pointer", "?on", kCreateTypes}};
const wl_interface kManager = {
    "zwlr_virtual_pointer_manager_v1", 1, 1, kManagerRequests, 0, nullptr};

wl_proxy* manager = nullptr;

void announced(void*, wl_registry* registry, std::uint32_t name, const char* interface,
               std::uint32_t) {
  if (std::strcmp(interface, kManager.name) == 0)
    manager = static_cast<wl_proxy*>(wl_registry_bind(registry, name, &kManager, 1));
}
void withdrawn(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener kListener = {announced, withdrawn};

}  // namespace

int main() {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return 1;
  wl_registry_add_listener(wl_display_get_registry(display), &kListener, nullptr);
  wl_display_roundtrip(display);
  if (!manager) return 1;
  // Request 0, create_virtual_pointer, on the default seat.
  wl_proxy_marshal_constructor(manager, 0, &kPointer, nullptr, nullptr);
  if (wl_display_roundtrip(display) < 0) return 1;
  while (wl_display_dispatch(display) >= 0) {
  }
  return 0;
}
