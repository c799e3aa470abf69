# SPDX-License-Identifier: MIT
# fish completion for calyxor-cli

set -l commands encrypt decrypt wipe
complete -c calyxor-cli -f
complete -c calyxor-cli -n "not __fish_seen_subcommand_from $commands" -a encrypt -d 'Encrypt files into FILE.ash'
complete -c calyxor-cli -n "not __fish_seen_subcommand_from $commands" -a decrypt -d 'Decrypt .ash and self-extracting files'
complete -c calyxor-cli -n "not __fish_seen_subcommand_from $commands" -a wipe -d 'Overwrite files and delete them'
complete -c calyxor-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Show the version'
complete -c calyxor-cli -s h -l help -d 'Show the usage'
complete -c calyxor-cli -n "__fish_seen_subcommand_from $commands" -s j -l jobs -x -d 'Files worked on at once'
complete -c calyxor-cli -n "__fish_seen_subcommand_from $commands" -s q -l quiet -d 'Print only errors'
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
