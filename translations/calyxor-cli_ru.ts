<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="en">
<context>
    <name>Cli</name>
    <message>
        <source>cannot name the decrypted file: %1 has no extension to remove; give the output with -o PATH</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>given twice; it is wiped once</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is already the output of %2; not written twice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is one of the files given; it was not replaced</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 already exists and was left as it is (-f replaces it)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not wiped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>is a folder; only files are wiped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>standard output</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 encrypted into %2, source wiped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 encrypted into %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 decrypted into %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 wiped</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no SFX module is chosen (SFX= is empty in the settings); give one with --sfx=PATH. Nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the SFX module %1 cannot be used: %2. Nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the SFX module %1 is not a file. Nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-o - would write the file&apos;s bytes to the terminal; redirect standard output or give a path</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try &apos;calyxor-cli --help&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 needs a number of at least 1, not &apos;%2&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 needs a number, not &apos;%2&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos; (the commands are encrypt, decrypt and wipe)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 takes no value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--sfx= needs the path of a module</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown option &apos;%1&apos;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no command given (encrypt, decrypt or wipe)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no FILE given</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-o names one output, but %1 files were given</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>-o needs a path (or - for standard output)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 belongs to encrypt only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>wipe takes no output, -f or key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>give the key one way: --key-file or --key-fd</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--wipe needs the encrypted copy in a file: it cannot go with -o -</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: calyxor-cli encrypt [-o PATH] [-f] [--sfx[=MODULE]] [--wipe] FILE...
       calyxor-cli decrypt [-o PATH] [-f] FILE...
       calyxor-cli wipe FILE...
Encrypts, decrypts and wipes files with a password, writing the same bytes as
the Calyxor window.

Commands:
  encrypt   write FILE.ash beside each FILE (FILE.exe with --sfx)
  decrypt   write each result beside its FILE, named as the window names it:
            cut before the extension (report.doc.ash gives report.doc)
  wipe      overwrite each FILE with 0x0F, flush it to the disk, delete it

Options:
  -o, --output PATH  the output (one FILE only); - is standard output, which
                     must not be a terminal
  -f, --force        replace existing outputs; without it an existing file is
                     never touched and that FILE fails
  --sfx[=MODULE]     make a self-extracting program (FILE.exe) with the module
                     the window uses, or with MODULE
  --wipe             wipe each FILE once its encrypted copy is complete and on
                     the disk
  -j, --jobs N       work on N files at once (default: one per core)
  -q, --quiet        no progress on the terminal
  -h, --help         show this help and exit
  --version          show the version and exit

The key is never an argument. On a terminal it is asked for without being shown
(twice for encrypt); otherwise give it with
  --key-file PATH    the first line of PATH (- is standard input)
  --key-fd N         the first line read from descriptor N
There is no key check: a wrong key decrypts into other bytes without an error.

Examples:
  calyxor-cli encrypt report.doc           # asks for the key twice
  calyxor-cli encrypt --sfx --wipe *.doc   # self-extracting copies, then wipe
  calyxor-cli decrypt --key-file ~/.key report.doc.ash
  calyxor-cli decrypt -o - --key-fd 3 report.doc.ash 3&lt;key.txt | less
  calyxor-cli wipe old.doc

Exit status: 0 when every FILE succeeded, 1 when any failed, 2 for a wrong
command line or no usable key (nothing is written then).
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>MB/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (wiping)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot read the key from %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the key line from %1 is longer than 64 KiB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the terminal</source>
        <extracomment>Where the key was read from, after &quot;from&quot; in &quot;cannot read the key from %1&quot;.</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the key from %1 is empty; nothing was written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>standard input</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot open the key file %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>descriptor %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no key: standard input is not a terminal to ask on, so give the key with --key-file PATH or --key-fd N. Nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key again:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the two keys typed differ; nothing was written</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Engine</name>
    <message>
        <source>! Can&apos;t open input file %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>! Can&apos;t open input file %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(standard output)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; already exists and was left as it is</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>! Error writing output file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The key is empty: type a key first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The key is not valid text.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The key contains &quot;%1&quot; (%2), which cannot be used in a key: use Latin or Cyrillic letters, digits and common signs.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Path not found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File access denied</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Disk full</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File too large</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File not open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The source file changed while it was being read (it became shorter); the target is incomplete.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The source file changed while it was being read; the target may not match it. The source was kept: run the operation again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The SFX module %1 is not a regular file (a folder, a FIFO or a device); choose a module file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The SFX module %1 is shorter than when it was chosen; choose it again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File does not exist.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a regular file: only ordinary files can be encrypted or decrypted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to create file mapping.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed to map view of file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>standard output was closed when the program started; give the target as a file name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>that descriptor was closed when the program started</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>that descriptor is not open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>that descriptor is open for reading only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is the source file itself</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no program is reading from it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file was overwritten, but its name now leads to another file, which was kept: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file was overwritten, but it could not be deleted (%1): %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The source file changed after it was encrypted; it was kept: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The encrypted file could not be written to the disk (%1); the source file was kept.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Sfx</name>
    <message>
        <source>its ELF header is cut short</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its section header table cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its program header table is malformed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its program header table cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its section header table is malformed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its ELF headers point past the end of the file (the file is damaged)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is not an ELF program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its ELF byte order is not this machine&apos;s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its ELF class is unknown</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot open its own file %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot measure its own file: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its own file is not usable: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nothing to extract: no encrypted file follows this program. It is the bare self-extracting module; run a self-extracting file that Calyxor made (&quot;NAME.exe&quot;) instead.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot tell what to call the restored file: the name %1 does not end in &quot;.exe&quot;. Give the output with -o PATH.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot tell what to call the restored file from the name %1. Give the output with -o PATH.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 needs a path</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unexpected argument %1 (the output is given with -o PATH)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the output path is empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its own name without &quot;.exe&quot;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: %1 [-o PATH] [-f]
Restores the file that Calyxor encrypted into this self-extracting file.

The key is asked for on the terminal and is not shown as it is typed. When standard
input is not a terminal, its first line is the key, so that scripts can use it:
    printf &apos;%s\n&apos; &quot;$KEY&quot; | ./%1

The restored file is written as %2 in the current folder.
  -o PATH      write it to PATH instead (into PATH, under that name, when PATH is a
               folder; straight through when PATH is a pipe or a device such as
               /dev/stdout; -o - is standard output)
  -f           replace the output file if it exists; without -f an existing file is
               never touched
  -h, --help   show this help

A WRONG KEY CANNOT BE DETECTED. The file holds no key check: with a wrong key the
stub still succeeds and writes a file of the same length with other bytes. If the
restored file does not open, run the stub again with the right key and -f.

Exit status: 0 when the file was written, 1 on any failure, 2 for a wrong command
line. A failed run leaves no partial file under the output&apos;s name.
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>standard output</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is this self-extracting file itself; choose another output with -o PATH.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is a folder; choose another output with -o PATH.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a regular file and was left as it is; choose another output with -o PATH.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 already exists and was left as it is. Use -f to replace it, or -o PATH to write elsewhere.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot write %1: the folder %2 does not exist.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 appeared while the file was being restored and was left as it is. Use -f to replace it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot read the key: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the key line is too long (more than 64 KiB); only its first 255 bytes would be used anyway.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no key was given; an empty key cannot be used. Nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 Nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot read the encrypted data from its own file: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the file got shorter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>standard input is closed, so there is no key to read. Run it from a terminal, or give the key on standard input. Nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restored to standard output (%1 bytes).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restored %1 (%2 bytes).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try &apos;%1 --help&apos;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is not a Windows program</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its PE header is missing or cut short</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its optional header is missing or cut short</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its optional header is of an unknown kind</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its section table cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its symbol table points past the end of the file (the file is damaged)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its PE headers point past the end of the file (the file is damaged)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type the key first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” already exists in this folder.

Replace it?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Restored “%1” (%2 bytes) in
%3

If it does not open, the key was wrong: run this file again with the right key and replace it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Key for “%1” (%2 bytes):</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file is written beside this one. A wrong key cannot be detected: it gives other bytes of the same length.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot show its window: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: %1 [-o PATH] [-f]
Restores the file that Calyxor encrypted into this self-extracting file.

Started from Explorer it asks for the key in a small window and restores the file
beside itself. Started from a console it asks for the key there, without showing it.
When standard input is redirected, its first line is the key (UTF-8), for scripts:
    type key.txt | %1

The restored file is written as %2 in the current folder.
  -o PATH      write it to PATH instead (into PATH, under that name, when PATH is a
               folder)
  -f           replace the output file if it exists; without -f an existing file is
               never touched
  -h, --help   show this help

A WRONG KEY CANNOT BE DETECTED. The file holds no key check: with a wrong key the
module still succeeds and writes a file of the same length with other bytes. If the
restored file does not open, run it again with the right key and -f.

Exit status: 0 when the file was written, 1 on any failure, 2 for a wrong command
line. A failed run leaves no partial file under the output&apos;s name.
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>interrupted; nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>error %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot find its own file: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot write in the folder %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
