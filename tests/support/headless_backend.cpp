#include "tests/support/headless_backend.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "app/toolkit/message_box.h"
#include "app/toolkit/window.h"

namespace testing_support {
namespace {

// A kind the table lacks throws, so a new kind cannot go unrecorded.
Entry::What whatOf(toolkit::Happening::Kind kind) {
  using K = toolkit::Happening::Kind;
  using W = Entry::What;
  static const std::map<K, W> kWhat{
      {K::Load, W::Load},       {K::Show, W::Show},   {K::Hide, W::Hide},
      {K::Unload, W::Unload},   {K::Modal, W::Modal}, {K::ModalEnd, W::ModalEnd},
      {K::End, W::End},         {K::Pump, W::Pump},   {K::Enable, W::Enable},
      {K::Disable, W::Disable}, {K::Tick, W::Tick}};
  return kWhat.at(kind);
}

}  // namespace

void HeadlessBackend::schedule(std::int64_t atMs, Event e) {
  auto at = std::upper_bound(input_.begin(), input_.end(), atMs,
                             [](std::int64_t t, const auto& item) { return t < item.first; });
  input_.insert(at, {atMs, e});
}

void HeadlessBackend::key(std::int64_t atMs, Window& w, std::int16_t keyAscii) {
  schedule(atMs, Event{Event::Kind::Key, &w, keyAscii});
}

void HeadlessBackend::type(std::int64_t atMs, Window& w, const std::string& text) {
  for (unsigned char c : text) key(atMs, w, static_cast<std::int16_t>(c));
}

void HeadlessBackend::click(std::int64_t atMs, Window& w, int x, int y) {
  press(atMs, w, x, y);
  release(atMs, w, x, y);
}

void HeadlessBackend::press(std::int64_t atMs, Window& w, int x, int y) {
  schedule(atMs, Event{Event::Kind::Press, &w, 0, x, y});
}

void HeadlessBackend::release(std::int64_t atMs, Window& w, int x, int y) {
  schedule(atMs, Event{Event::Kind::Release, &w, 0, x, y});
}

void HeadlessBackend::quit(std::int64_t atMs) {
  quitAt_ = atMs;
  schedule(atMs, Event{Event::Kind::Quit});
}

void HeadlessBackend::closeRequest(std::int64_t atMs, Window& w) {
  schedule(atMs, Event{Event::Kind::Close, &w});
}

std::string Entry::text() const {
  static const char* const kWords[] = {"load",      "show",   "hide", "unload", "modal",
                                       "modal end", "end",    "pump", "enable", "disable",
                                       "tick",      "msgbox", "read", "sound"};
  const std::string word = kWords[static_cast<int>(what)];
  return subject.empty() ? word : word + " " + subject;
}

int HeadlessBackend::paints(const Window& w) const {
  auto it = paints_.find(&w);
  return it == paints_.end() ? 0 : it->second;
}

bool HeadlessBackend::isShown(const Window& w) const {
  auto it = shown_.find(&w);
  return it != shown_.end() && it->second;
}

void HeadlessBackend::sleepMs(std::int64_t ms) {
  if (ms <= 0) return;
  const bool quitComes = quitAt_ >= 0 && quitAt_ > now_ && quitAt_ <= now_ + ms;
  now_ = quitComes ? quitAt_ : now_ + ms;
}

void HeadlessBackend::resizeScreen(std::int64_t atMs, Window& w, Size screen) {
  schedule(atMs, Event{Event::Kind::Resize, &w, 0, screen.width, screen.height});
}

Event HeadlessBackend::delivered(Event e) {
  if (e.kind == Event::Kind::Resize) {
    screen_.bounds = {0, 0, e.x, e.y};
    screen_.scale = toolkit::scaleFor(screen_.bounds);
  }
  return e;
}

std::optional<Event> HeadlessBackend::waitEvent(std::int64_t timeoutMs) {
  const bool pending = !input_.empty();
  if (pending && input_.front().first <= now_) {
    Event e = input_.front().second;
    input_.pop_front();
    return delivered(e);
  }
  if (timeoutMs == 0) return std::nullopt;
  if (timeoutMs < 0 && !pending)
    throw std::logic_error("the program would wait for ever: no input and no timer");
  if (pending && (timeoutMs < 0 || input_.front().first <= now_ + timeoutMs)) {
    now_ = input_.front().first;
    Event e = input_.front().second;
    input_.pop_front();
    return delivered(e);
  }
  now_ += timeoutMs;
  return std::nullopt;
}

void HeadlessBackend::dropCloseRequests() {
  std::erase_if(input_, [this](const auto& item) {
    return item.first <= now_ && item.second.kind == Event::Kind::Close;
  });
}

void HeadlessBackend::createWindow(Window& w) {
  shown_[&w] = false;
}

void HeadlessBackend::destroyWindow(Window& w) {
  shown_.erase(&w);
  paints_.erase(&w);
}

// A message box is read and answered with Return at once, as a parent would,
// so a test goes on without waiting for anybody.
void HeadlessBackend::showWindow(Window& w) {
  shown_[&w] = true;
  if (auto* box = dynamic_cast<toolkit::MessageBox*>(&w); box && answerMessageBoxes) {
    boxes_.push_back(box->caption() + "|" + box->text());
    note(Entry::What::MessageBox, box->caption());
    key(now_, w, 13);
  }
}
void HeadlessBackend::hideWindow(Window& w) {
  shown_[&w] = false;
}
void HeadlessBackend::paint(Window& w) {
  ++paints_[&w];
  if (onPaint) onPaint(w);
}

void HeadlessBackend::happened(const toolkit::Happening& h) {
  std::string subject = h.window ? h.window->name() : "";
  if (h.timer) subject += "." + h.timer->name();
  note(whatOf(h.kind), std::move(subject));
}

}  // namespace testing_support
