#!/usr/bin/env bash
# Placeholder sounds until the voices land: make_sounds.sh SOUND_DIR BIN_DIR
set -euo pipefail
src=$1 bin=$2
mkdir -p "$bin"
tone() { sox -n -r 44100 -b 16 -c 1 "$bin/$1.wav" synth "$2" sine "$3" vol 0.5; }
for c in A B C D E F G H I J K L M N O P Q R S T U V W X Y Z; do tone "$c" 0.5 440; done
tone ribbit 1.2 200; tone ribbit2 1.0 300; tone slurp2 0.35 800
tone applp 2.5 1000; tone goodjob 1.0 500; tone yumdir 3 350; tone yumdir2 3 370
