#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, only when
# some are missing. Runs as root on a fresh Debian 12 machine (or with sudo).
# Usage: install-deps.sh [build|fuzz|bench|lint]...   (default: build)
set -euo pipefail

# nettle-dev: AES, SHA-1, HMAC and PBKDF2 for encrypted archives.
# zip, unzip, libarchive-tools (bsdtar) and p7zip-full (7z): the tests read
# archives that these peers write, so they are part of the build, not only
# of the benchmarks.
# libbz2-dev, liblzma-dev, libzstd-dev: bzip2, LZMA, xz and Zstandard entries.
# dpkg-dev (shlibdeps and the hardening flags), lintian, appstream,
# groff-base, bash-completion, zsh and desktop-file-utils: building and
# checking the packages, their manual pages, completions and metadata.
build_packages=(g++ cmake make pkg-config zlib1g-dev libdeflate-dev libisal-dev libbz2-dev liblzma-dev libzstd-dev nettle-dev libgtest-dev libgmock-dev libbenchmark-dev
    clang-format python3 bsdutils qt6-base-dev fonts-dejavu-core xdg-utils
    dpkg-dev lintian appstream groff-base bash-completion zsh desktop-file-utils
    zip unzip libarchive-tools p7zip-full)
fuzz_packages=(clang libclang-rt-14-dev)
lint_packages=(clang-tidy)
bench_packages=(unzip zip libarchive-tools p7zip-full 7zip xz-utils zstd bzip2 hyperfine python3 time)

wanted=()
[ $# -eq 0 ] && set -- build
for set_name in "$@"; do
    case "$set_name" in
    build) wanted+=("${build_packages[@]}") ;;
    fuzz) wanted+=("${fuzz_packages[@]}") ;;
    lint) wanted+=("${lint_packages[@]}") ;;
    bench) wanted+=("${bench_packages[@]}") ;;
    *) echo "install-deps.sh: unknown package set '$set_name'" >&2; exit 2 ;;
    esac
done

missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
