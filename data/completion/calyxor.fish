# SPDX-License-Identifier: MIT
# fish completion for calyxor, the window

complete -c calyxor -s h -l help -d 'Show the usage'
complete -c calyxor -l version -d 'Show the version'
complete -c calyxor -l open -r -F -d 'Choose a file as the desktop does: it decrypts beside itself'
complete -c calyxor -F
