#!/usr/bin/env bash
# Builds VYRN and installs it for the current user:
#   scripts/install.sh [--prefix DIR]      default prefix: ~/.local
#   scripts/install.sh --uninstall         removes what the last install put there
# Installs what the Debian package holds (scripts/package.sh), under DIR: the program
# (bin/vyrn), its accessibility reader (libexec/vyrn/), its menu entry
# (share/applications/app.vyrn.Vyrn.desktop), icon, AppStream metadata, manual page and
# copyright; nothing else.
set -euo pipefail
cd "$(dirname "$0")/.."

prefix="$HOME/.local"
uninstall=0
while [[ $# -gt 0 ]]; do
    case "$1" in
    --prefix) prefix=${2:?"--prefix 需要一个目录"}; shift 2 ;;
    --prefix=*) prefix=${1#--prefix=}; shift ;;
    --uninstall) uninstall=1; shift ;;
    -h | --help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "install.sh: 未知选项 $1（用法: scripts/install.sh [--prefix DIR] [--uninstall]）" >&2; exit 2 ;;
    esac
done

manifest=build/install_manifest.txt
sudo=()
if [[ $uninstall -eq 1 ]]; then
    if [[ ! -f $manifest ]]; then
        echo "install.sh: 找不到 $manifest，无法确定安装了哪些文件" >&2
        exit 1
    fi
    first=$(head -n1 "$manifest")
    [[ -w $(dirname "$first") ]] || sudo=(sudo)
    # One file name per line; names may hold spaces.
    while IFS= read -r file; do
        "${sudo[@]}" rm -f -- "$file"
        # VYRN's own folders (libexec/vyrn, share/doc/vyrn), once empty.
        [[ $(basename "$(dirname "$file")") == vyrn ]] && "${sudo[@]}" rmdir -- "$(dirname "$file")" 2>/dev/null || true
    done <"$manifest"
    echo "已删除 $(wc -l <"$manifest") 个文件。"
    exit 0
fi

case "$prefix" in
/*) ;;
*) prefix="$(pwd)/$prefix" ;;
esac

scripts/deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
mkdir -p "$prefix" 2>/dev/null || true
[[ -w $prefix ]] || sudo=(sudo)
"${sudo[@]}" cmake --install build --prefix "$prefix"
# (`cmake --install` also removes a menu entry an older install left as vyrn.desktop.)
# Desktops notice new icons by the theme folder's modification time.
"${sudo[@]}" touch "$prefix/share/icons/hicolor"

echo
echo "VYRN 已安装到 $prefix。可以从应用菜单启动，或运行: $prefix/bin/vyrn"
case ":$PATH:" in
*":$prefix/bin:"*) ;;
*) echo "提示: $prefix/bin 不在 PATH 中；重新登录后通常会加入（Debian 的 ~/.profile 会加入 ~/.local/bin）。" ;;
esac
echo "登录时自动启动：在 VYRN 的偏好设置中打开“登录时启动”。"
