# SPDX-License-Identifier: MIT
# fish completion for calyxor-cli

set -l commands encrypt decrypt wipe genkey
complete -c calyxor-cli -f
complete -c calyxor-cli -n "not __fish_seen_subcommand_from $commands" -a encrypt -d 'Encrypt files into FILE.ash'
complete -c calyxor-cli -n "not __fish_seen_subcommand_from $commands" -a decrypt -d 'Decrypt .ash and self-extracting files'
complete -c calyxor-cli -n "not __fish_seen_subcommand_from $commands" -a wipe -d 'Overwrite files and delete them'
complete -c calyxor-cli -n "not __fish_seen_subcommand_from $commands" -a genkey -d 'Print a passphrase of random words'
complete -c calyxor-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Show the version'
complete -c calyxor-cli -n "__fish_seen_subcommand_from genkey" -l words -x -d 'The number of words (1 to 25)'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt decrypt wipe" -s r -l recursive -d 'Work on the files under each folder'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt decrypt wipe" -l one-file-system -d "-r: stay on each folder's file system"
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt decrypt wipe" -l cross-file-systems -d '-r: enter other file systems too'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt" -l all -d '-r: encrypt .ash files too'
complete -c calyxor-cli -n "__fish_seen_subcommand_from wipe" -l remove-dirs -d '-r: remove the folders left empty'
complete -c calyxor-cli -s h -l help -d 'Show the usage'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt decrypt wipe" -s j -l jobs -x -d 'Files worked on at once'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt decrypt wipe" -s q -l quiet -d 'Print only errors'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt decrypt" -s o -l output -r -F -d 'Write here instead'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt decrypt" -s f -l force -d 'Replace existing outputs'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt decrypt" -l key-file -r -F -d 'Read the key from a file'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt decrypt" -l key-fd -x -d 'Read the key from a descriptor'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt" -l sfx -d 'Make a self-extracting program (--sfx=MODULE)'
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt" -l wipe -d 'Wipe each source once encrypted'
complete -c calyxor-cli -n "__fish_seen_subcommand_from decrypt" -l no-key-check -d "Write the result even when it looks like a wrong key's"
complete -c calyxor-cli -n "__fish_seen_subcommand_from encrypt wipe" -F
# Encrypted and self-extracting files (and folders); any file when there is none of those.
function __calyxor_cli_encrypted_files
    set -l token (commandline -ct)
    set -l found $token*.ash $token*.exe $token*/
    set -q found[1]; or set found $token*
    printf '%s\n' $found
end
complete -c calyxor-cli -n "__fish_seen_subcommand_from decrypt" -k -a "(__calyxor_cli_encrypted_files)"
