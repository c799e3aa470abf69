<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="en">
<context>
    <name>Cli</name>
    <message>
        <source>cannot name the decrypted file: %1 has no extension to remove; give the output with -o PATH</source>
        <translation>не удаётся назвать расшифрованный файл: у %1 нет расширения, которое можно отрезать; укажите выход через -o ПУТЬ</translation>
    </message>
    <message>
        <source>given twice; it is wiped once</source>
        <translation>указан дважды; уничтожается один раз</translation>
    </message>
    <message>
        <source>%1 is already the output of %2; not written twice</source>
        <translation>%1 уже выход для %2; дважды не записывается</translation>
    </message>
    <message>
        <source>%1 is one of the files given; it was not replaced</source>
        <translation>%1 — один из указанных файлов; он не заменён</translation>
    </message>
    <message>
        <source>%1 already exists and was left as it is (-f replaces it)</source>
        <translation>%1 уже существует и оставлен как есть (-f заменяет его)</translation>
    </message>
    <message>
        <source>not wiped</source>
        <translation>не уничтожен</translation>
    </message>
    <message>
        <source>not written</source>
        <translation>не записан</translation>
    </message>
    <message>
        <source>is a folder; only files are wiped</source>
        <translation>это папка; уничтожаются только файлы</translation>
    </message>
    <message>
        <source>standard output</source>
        <translation>стандартный вывод</translation>
    </message>
    <message>
        <source>%1 encrypted into %2, source wiped</source>
        <translation>%1 зашифрован в %2, исходный файл уничтожен</translation>
    </message>
    <message>
        <source>%1 encrypted into %2</source>
        <translation>%1 зашифрован в %2</translation>
    </message>
    <message>
        <source>%1 decrypted into %2</source>
        <translation>%1 расшифрован в %2</translation>
    </message>
    <message>
        <source>%1 wiped</source>
        <translation>%1 уничтожен</translation>
    </message>
    <message>
        <source>no SFX module is chosen (SFX= is empty in the settings); give one with --sfx=PATH. Nothing was written.</source>
        <translation>модуль SFX не выбран (SFX= в настройках пусто); укажите его через --sfx=ПУТЬ. Ничего не записано.</translation>
    </message>
    <message>
        <source>the SFX module %1 cannot be used: %2. Nothing was written.</source>
        <translation>модуль SFX %1 нельзя использовать: %2. Ничего не записано.</translation>
    </message>
    <message>
        <source>the SFX module %1 is not a file. Nothing was written.</source>
        <translation>модуль SFX %1 — не файл. Ничего не записано.</translation>
    </message>
    <message>
        <source>-o - would write the file&apos;s bytes to the terminal; redirect standard output or give a path</source>
        <translation>-o - вывело бы байты файла на терминал; перенаправьте стандартный вывод или укажите путь</translation>
    </message>
    <message>
        <source>Try &apos;calyxor-cli --help&apos;.</source>
        <translation>Справка: &apos;calyxor-cli --help&apos;.</translation>
    </message>
    <message>
        <source>%1 needs a number of at least 1, not &apos;%2&apos;</source>
        <translation>%1 требует число не меньше 1, а не &apos;%2&apos;</translation>
    </message>
    <message>
        <source>%1 needs a number, not &apos;%2&apos;</source>
        <translation>%1 требует число, а не &apos;%2&apos;</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 требует значение</translation>
    </message>
    <message>
        <source>%1 takes no value</source>
        <translation>%1 не принимает значения</translation>
    </message>
    <message>
        <source>--sfx= needs the path of a module</source>
        <translation>--sfx= требует путь к модулю</translation>
    </message>
    <message>
        <source>unknown option &apos;%1&apos;</source>
        <translation>неизвестный параметр &apos;%1&apos;</translation>
    </message>
    <message>
        <source>no FILE given</source>
        <translation>не указан ФАЙЛ</translation>
    </message>
    <message>
        <source>-o names one output, but %1 files were given</source>
        <translation>-o задаёт один выход, а указано файлов: %1</translation>
    </message>
    <message>
        <source>-o needs a path (or - for standard output)</source>
        <translation>-o требует путь (или - для стандартного вывода)</translation>
    </message>
    <message>
        <source>%1 belongs to encrypt only</source>
        <translation>%1 относится только к encrypt</translation>
    </message>
    <message>
        <source>wipe takes no output, -f or key</source>
        <translation>wipe не принимает выход, -f и ключ</translation>
    </message>
    <message>
        <source>give the key one way: --key-file or --key-fd</source>
        <translation>укажите ключ одним способом: --key-file или --key-fd</translation>
    </message>
    <message>
        <source>--wipe needs the encrypted copy in a file: it cannot go with -o -</source>
        <translation>--wipe требует зашифрованную копию в файле: с -o - он невозможен</translation>
    </message>
    <message>
        <source>%1 (wiping)</source>
        <translation>%1 (уничтожение)</translation>
    </message>
    <message>
        <source>cannot read the key from %1: %2</source>
        <translation>не удаётся прочитать ключ из %1: %2</translation>
    </message>
    <message>
        <source>the key line from %1 is longer than 64 KiB</source>
        <translation>строка ключа из %1 длиннее 64 КиБ</translation>
    </message>
    <message>
        <source>the terminal</source>
        <extracomment>Where the key was read from, after &quot;from&quot; in &quot;cannot read the key from %1&quot;.</extracomment>
        <translation>терминала</translation>
    </message>
    <message>
        <source>the key from %1 is empty; nothing was written</source>
        <translation>ключ из %1 пуст; ничего не записано</translation>
    </message>
    <message>
        <source>%1 Nothing was written.</source>
        <translation>%1 Ничего не записано.</translation>
    </message>
    <message>
        <source>standard input</source>
        <translation>стандартного ввода</translation>
    </message>
    <message>
        <source>cannot open the key file %1: %2</source>
        <translation>не удаётся открыть файл ключа %1: %2</translation>
    </message>
    <message>
        <source>descriptor %1</source>
        <translation>дескриптора %1</translation>
    </message>
    <message>
        <source>no key: standard input is not a terminal to ask on, so give the key with --key-file PATH or --key-fd N. Nothing was written.</source>
        <translation>нет ключа: стандартный ввод — не терминал, где его можно спросить; укажите ключ через --key-file ПУТЬ или --key-fd N. Ничего не записано.</translation>
    </message>
    <message>
        <source>Key:</source>
        <translation>Ключ:</translation>
    </message>
    <message>
        <source>Key again:</source>
        <translation>Ключ ещё раз:</translation>
    </message>
    <message>
        <source>the two keys typed differ; nothing was written</source>
        <translation>два введённых ключа различаются; ничего не записано</translation>
    </message>
    <message>
        <source>the key seems to be wrong: the result does not look like a file; nothing was written (--no-key-check writes it anyway)</source>
        <translation>похоже, ключ неверный: результат не похож на файл; ничего не записано (--no-key-check всё равно записывает)</translation>
    </message>
    <message>
        <source>the key seems to be wrong: the result does not look like a file; type the key again</source>
        <translation>похоже, ключ неверный: результат не похож на файл; введите ключ ещё раз</translation>
    </message>
    <message>
        <source>--no-key-check belongs to decrypt only</source>
        <translation>--no-key-check относится только к decrypt</translation>
    </message>
    <message>
        <source>the two keys typed differ; type the key again</source>
        <translation>два введённых ключа различаются; введите ключ ещё раз</translation>
    </message>
    <message>
        <source>warning: the key is shorter than %1 characters and could be guessed; a longer one is safer</source>
        <translation>предупреждение: ключ короче %1 символов, его можно подобрать; длиннее надёжнее</translation>
    </message>
    <message>
        <source>it is the key file of this run; it was left as it is</source>
        <translation>это файл ключа этого запуска; он оставлен как есть</translation>
    </message>
    <message>
        <source>%1 is the key file of this run; it was not replaced</source>
        <translation>%1 — файл ключа этого запуска; он не заменён</translation>
    </message>
    <message>
        <source>cannot read the key from %1: it is not open</source>
        <translation>не удаётся прочитать ключ из %1: он не открыт</translation>
    </message>
    <message>
        <source>cannot read the key from %1: it is open for writing only (give it as N&lt;file)</source>
        <translation>не удаётся прочитать ключ из %1: он открыт только для записи (укажите его как N&lt;файл)</translation>
    </message>
    <message>
        <source>using the SFX module %1, chosen in %2 (--sfx=linux, --sfx=windows or --sfx=PATH chooses another)</source>
        <translation>используется модуль SFX %1, выбранный в %2 (другой выбирают --sfx=linux, --sfx=windows или --sfx=ПУТЬ)</translation>
    </message>
    <message>
        <source>using the shipped SFX module %1, as %2 does not exist (--sfx=windows or --sfx=PATH chooses another)</source>
        <translation>используется модуль SFX из поставки %1, так как %2 не существует (другой выбирают --sfx=windows или --sfx=ПУТЬ)</translation>
    </message>
    <message>
        <source>the folder was not removed: %1</source>
        <translation>папка не удалена: %1</translation>
    </message>
    <message>
        <source>files encrypted: %1, skipped: %2, failed: %3</source>
        <translation>зашифровано файлов: %1, пропущено: %2, с ошибкой: %3</translation>
    </message>
    <message>
        <source>files decrypted: %1, skipped: %2, failed: %3</source>
        <translation>расшифровано файлов: %1, пропущено: %2, с ошибкой: %3</translation>
    </message>
    <message>
        <source>files wiped: %1, skipped: %2, failed: %3</source>
        <translation>уничтожено файлов: %1, пропущено: %2, с ошибкой: %3</translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos; (the commands are encrypt, decrypt, wipe and genkey)</source>
        <translation>неизвестная команда &apos;%1&apos; (команды: encrypt, decrypt, wipe и genkey)</translation>
    </message>
    <message>
        <source>genkey takes no FILE</source>
        <translation>genkey не принимает ФАЙЛ</translation>
    </message>
    <message>
        <source>--words takes at most %1: a key counts only its first 255 bytes</source>
        <translation>--words принимает не больше %1: у ключа учитываются только первые 255 байт</translation>
    </message>
    <message>
        <source>genkey takes only --words N</source>
        <translation>genkey принимает только --words N</translation>
    </message>
    <message>
        <source>no command given (encrypt, decrypt, wipe or genkey)</source>
        <translation>не указана команда (encrypt, decrypt, wipe или genkey)</translation>
    </message>
    <message>
        <source>--words belongs to genkey only</source>
        <translation>--words относится только к genkey</translation>
    </message>
    <message>
        <source>-o names one output; it cannot go with -r</source>
        <translation>-o называет один выход; он несовместим с -r</translation>
    </message>
    <message>
        <source>--all belongs to encrypt -r only</source>
        <translation>--all относится только к encrypt -r</translation>
    </message>
    <message>
        <source>--remove-dirs belongs to wipe -r only</source>
        <translation>--remove-dirs относится только к wipe -r</translation>
    </message>
    <message>
        <source>--cross-file-systems belongs to -r only</source>
        <translation>--cross-file-systems относится только к -r</translation>
    </message>
    <message>
        <source>%1/%2 files</source>
        <translation>файлов %1/%2</translation>
    </message>
    <message>
        <source>%1/%2 MB</source>
        <translation>%1/%2 МБ</translation>
    </message>
    <message>
        <source>%1 MB/s</source>
        <translation>%1 МБ/с</translation>
    </message>
    <message>
        <source>cannot read the system&apos;s random source: %1</source>
        <translation>не удаётся прочитать системный источник случайных чисел: %1</translation>
    </message>
    <message>
        <source>is a FIFO, not a regular file; skipped</source>
        <translation>это FIFO, а не обычный файл; пропущен</translation>
    </message>
    <message>
        <source>is a socket, not a regular file; skipped</source>
        <translation>это сокет, а не обычный файл; пропущен</translation>
    </message>
    <message>
        <source>is a device, not a regular file; skipped</source>
        <translation>это устройство, а не обычный файл; пропущен</translation>
    </message>
    <message>
        <source>is not a regular file; skipped</source>
        <translation>это не обычный файл; пропущен</translation>
    </message>
    <message>
        <source>is a symbolic link; links are never followed, so it was skipped</source>
        <translation>это символическая ссылка; по ссылкам переходы не делаются, поэтому она пропущена</translation>
    </message>
    <message>
        <source>cannot read the folder: %1</source>
        <translation>не удаётся прочитать папку: %1</translation>
    </message>
    <message>
        <source>is on another file system and was not entered (--cross-file-systems enters it)</source>
        <translation>находится в другой файловой системе, и в неё не входили (--cross-file-systems входит)</translation>
    </message>
    <message>
        <source>Usage: calyxor-cli encrypt [-o PATH] [-f] [--sfx[=MODULE]] [--wipe] FILE...
       calyxor-cli encrypt -r [--all] [-f] [--sfx[=MODULE]] [--wipe] FOLDER...
       calyxor-cli decrypt [-r] [-o PATH] [-f] [--no-key-check] FILE...
       calyxor-cli wipe [-r [--remove-dirs]] FILE...
       calyxor-cli genkey [--words N]
Encrypts, decrypts and wipes files with a password, writing the same bytes as
the Calyxor window.

Commands:
  encrypt   write FILE.ash beside each FILE (FILE.exe with --sfx)
  decrypt   write each result beside its FILE, named as the window names it:
            cut before the extension (report.doc.ash gives report.doc)
  wipe      overwrite each FILE with 0x0F, flush it to the disk, delete it
  genkey    print a passphrase of random words (6 words, about 77 bits)

Options:
  -o, --output PATH  the output (one FILE only); - is standard output, which
                     must not be a terminal
  -f, --force        replace existing outputs; without it an existing file is
                     never touched and that FILE fails
  -r, --recursive    work on the files under each FOLDER: encrypt every
                     regular file but .ash files, decrypt every .ash file,
                     wipe every file; links are never followed, other kinds of
                     file are skipped, each with a message
  --all              encrypt -r: encrypt .ash files too
  --remove-dirs      wipe -r: remove the folders left empty
  --one-file-system  -r: stay on each FOLDER&apos;s file system (the default)
  --cross-file-systems  -r: enter folders on other file systems too
  --sfx[=MODULE]     make a self-extracting program (FILE.exe) with the module
                     the window uses, or with MODULE: linux and windows name
                     the shipped modules, anything else is a path
  --wipe             wipe each FILE once its encrypted copy is complete and on
                     the disk
  --no-key-check     decrypt: write the result even when it looks like a wrong
                     key&apos;s (for content that is itself random)
  -j, --jobs N       work on N files at once (default: one per core)
  -q, --quiet        no progress, results or summary on the terminal
  --words N          genkey: the number of words (1 to 25)
  -h, --help         show this help and exit
  --version          show the version and exit

The key is never an argument. On a terminal it is asked for without being shown
(twice for encrypt, where Enter alone takes a generated passphrase, shown once);
otherwise give it with
  --key-file PATH    the first line of PATH (- is standard input)
  --key-fd N         the first line read from descriptor N
The encrypted file holds no key check, so decrypt looks at the first decrypted
bytes before writing: a result that looks like random noise rather than a file
is not written (a typed key is asked for again). Files too small to tell, and
content that is itself random, cannot be judged.

Examples:
  calyxor-cli encrypt report.doc           # asks for the key twice
  calyxor-cli encrypt --sfx --wipe *.doc   # self-extracting copies, then wipe
  calyxor-cli encrypt -r --wipe Documents  # every file under Documents
  calyxor-cli decrypt --key-file ~/.key report.doc.ash
  calyxor-cli decrypt -o - --key-fd 3 report.doc.ash 3&lt;key.txt | less
  calyxor-cli wipe old.doc
  calyxor-cli genkey --words 8

Exit status: 0 when every FILE succeeded, 1 when any failed, 2 for a wrong
command line or no usable key (nothing is written then).
</source>
        <translation>Запуск: calyxor-cli encrypt [-o ПУТЬ] [-f] [--sfx[=МОДУЛЬ]] [--wipe] ФАЙЛ...
        calyxor-cli encrypt -r [--all] [-f] [--sfx[=МОДУЛЬ]] [--wipe] ПАПКА...
        calyxor-cli decrypt [-r] [-o ПУТЬ] [-f] [--no-key-check] ФАЙЛ...
        calyxor-cli wipe [-r [--remove-dirs]] ФАЙЛ...
        calyxor-cli genkey [--words N]
Шифрует, расшифровывает и уничтожает файлы по паролю; записывает те же байты,
что и окно Calyxor.

Команды:
  encrypt   записать ФАЙЛ.ash рядом с каждым ФАЙЛОМ (ФАЙЛ.exe с --sfx)
  decrypt   записать каждый результат рядом с его ФАЙЛОМ, назвав его, как окно:
            отрезав расширение (report.doc.ash даёт report.doc)
  wipe      перезаписать каждый ФАЙЛ байтами 0x0F, сбросить на диск, удалить
  genkey    напечатать пароль из случайных слов (6 слов, около 77 бит)

Параметры:
  -o, --output ПУТЬ  выход (только для одного ФАЙЛА); - — стандартный вывод,
                     который не должен быть терминалом
  -f, --force        заменять существующие выходы; без него существующий файл
                     не трогается, и этот ФАЙЛ не обрабатывается
  -r, --recursive    обработать файлы в каждой ПАПКЕ: encrypt — все обычные
                     файлы, кроме .ash, decrypt — все файлы .ash, wipe — все
                     файлы; по ссылкам не переходит, файлы других видов
                     пропускаются, о каждом выводится сообщение
  --all              encrypt -r: шифровать и файлы .ash
  --remove-dirs      wipe -r: удалить опустевшие папки
  --one-file-system  -r: не выходить за файловую систему ПАПКИ (по умолчанию)
  --cross-file-systems  -r: заходить и в папки других файловых систем
  --sfx[=МОДУЛЬ]     создать самораспаковывающуюся программу (ФАЙЛ.exe)
                     с модулем окна или с МОДУЛЕМ: linux и windows — модули
                     из поставки, иное — путь
  --wipe             уничтожить каждый ФАЙЛ, когда его зашифрованная копия
                     полностью записана на диск
  --no-key-check     decrypt: записать результат, даже если он похож на
                     результат неверного ключа (для содержимого, которое само
                     случайно)
  -j, --jobs N       обрабатывать N файлов одновременно (по умолчанию по одному
                     на ядро)
  -q, --quiet        не показывать ход работы, результаты и итог на терминале
  --words N          genkey: число слов (от 1 до 25)
  -h, --help         показать эту справку и выйти
  --version          показать версию и выйти

Ключ никогда не передаётся аргументом. На терминале он запрашивается без показа
(для encrypt дважды; там одно нажатие Enter берёт созданный пароль, который
показывается один раз); иначе укажите его так:
  --key-file ПУТЬ    первая строка файла ПУТЬ (- — стандартный ввод)
  --key-fd N         первая строка, прочитанная из дескриптора N
В зашифрованном файле нет проверки ключа, поэтому decrypt перед записью смотрит
на первые расшифрованные байты: результат, похожий на случайный шум, а не на
файл, не записывается (набранный ключ спрашивается снова). Слишком маленькие
файлы и содержимое, которое само случайно, оценить нельзя.

Примеры:
  calyxor-cli encrypt report.doc           # спрашивает ключ дважды
  calyxor-cli encrypt --sfx --wipe *.doc   # самораспаковывающиеся копии, затем
                                           # уничтожение исходных
  calyxor-cli encrypt -r --wipe Documents  # все файлы в папке Documents
  calyxor-cli decrypt --key-file ~/.key report.doc.ash
  calyxor-cli decrypt -o - --key-fd 3 report.doc.ash 3&lt;key.txt | less
  calyxor-cli wipe old.doc
  calyxor-cli genkey --words 8

Код выхода: 0, если все ФАЙЛЫ обработаны, 1, если какой-то не обработан, 2 при
неверной командной строке или без пригодного ключа (тогда ничего не пишется).
</translation>
    </message>
    <message>
        <source>the key is this generated passphrase; keep it, nothing else decrypts the files:</source>
        <translation>ключ — этот созданный пароль; сохраните его, ничто другое файлы не расшифрует:</translation>
    </message>
</context>
<context>
    <name>Engine</name>
    <message>
        <source>! Can&apos;t open input file %1</source>
        <translation>! Не удаётся открыть файл %1</translation>
    </message>
    <message>
        <source>! Can&apos;t open input file %1: %2</source>
        <translation>! Не удаётся открыть файл %1: %2</translation>
    </message>
    <message>
        <source>(standard output)</source>
        <translation>(стандартный вывод)</translation>
    </message>
    <message>
        <source>&apos;%1&apos; already exists and was left as it is</source>
        <translation>&apos;%1&apos; уже существует и оставлен как есть</translation>
    </message>
    <message>
        <source>! Error writing output file</source>
        <translation>! Ошибка записи выходного файла</translation>
    </message>
    <message>
        <source>The key is empty: type a key first.</source>
        <translation>Ключ пуст: сначала введите ключ.</translation>
    </message>
    <message>
        <source>The key is not valid text.</source>
        <translation>Ключ — не правильный текст.</translation>
    </message>
    <message>
        <source>The key contains &quot;%1&quot; (%2), which cannot be used in a key: use Latin or Cyrillic letters, digits and common signs.</source>
        <translation>Ключ содержит «%1» (%2), а этот знак нельзя использовать в ключе: используйте латинские или русские буквы, цифры и обычные знаки.</translation>
    </message>
    <message>
        <source>File not found</source>
        <translation>Файл не найден</translation>
    </message>
    <message>
        <source>Path not found</source>
        <translation>Путь не найден</translation>
    </message>
    <message>
        <source>File access denied</source>
        <translation>Доступ к файлу запрещён</translation>
    </message>
    <message>
        <source>Disk full</source>
        <translation>Диск заполнен</translation>
    </message>
    <message>
        <source>File too large</source>
        <translation>Файл слишком велик</translation>
    </message>
    <message>
        <source>File not open</source>
        <translation>Файл не открыт</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation>Слишком много открытых файлов</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation>Ошибка ввода-вывода</translation>
    </message>
    <message>
        <source>The source file changed while it was being read (it became shorter); the target is incomplete.</source>
        <translation>Исходный файл изменился во время чтения (стал короче); результат неполон.</translation>
    </message>
    <message>
        <source>The source file changed while it was being read; the target may not match it. The source was kept: run the operation again.</source>
        <translation>Исходный файл изменился во время чтения; результат может ему не соответствовать. Исходный файл сохранён: повторите операцию.</translation>
    </message>
    <message>
        <source>The SFX module %1 is not a regular file (a folder, a FIFO or a device); choose a module file.</source>
        <translation>Модуль SFX %1 — не обычный файл (папка, FIFO или устройство); выберите файл модуля.</translation>
    </message>
    <message>
        <source>The SFX module %1 is shorter than when it was chosen; choose it again.</source>
        <translation>Модуль SFX %1 стал короче, чем был при выборе; выберите его заново.</translation>
    </message>
    <message>
        <source>File does not exist.</source>
        <translation>Файл не существует.</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a regular file: only ordinary files can be encrypted or decrypted.</source>
        <translation>&apos;%1&apos; — не обычный файл: зашифровать или расшифровать можно только обычные файлы.</translation>
    </message>
    <message>
        <source>Failed to create file mapping.</source>
        <translation>Не удалось отобразить файл в память.</translation>
    </message>
    <message>
        <source>Failed to map view of file.</source>
        <translation>Не удалось получить отображение файла.</translation>
    </message>
    <message>
        <source>standard output was closed when the program started; give the target as a file name</source>
        <translation>стандартный вывод был закрыт при запуске программы; укажите результат именем файла</translation>
    </message>
    <message>
        <source>that descriptor was closed when the program started</source>
        <translation>этот дескриптор был закрыт при запуске программы</translation>
    </message>
    <message>
        <source>that descriptor is not open</source>
        <translation>этот дескриптор не открыт</translation>
    </message>
    <message>
        <source>that descriptor is open for reading only</source>
        <translation>этот дескриптор открыт только для чтения</translation>
    </message>
    <message>
        <source>it is the source file itself</source>
        <translation>это сам исходный файл</translation>
    </message>
    <message>
        <source>no program is reading from it</source>
        <translation>из него не читает ни одна программа</translation>
    </message>
    <message>
        <source>The file was overwritten, but its name now leads to another file, which was kept: %1</source>
        <translation>Файл перезаписан, но его имя теперь ведёт к другому файлу, и тот сохранён: %1</translation>
    </message>
    <message>
        <source>The file was overwritten, but it could not be deleted (%1): %2</source>
        <translation>Файл перезаписан, но удалить его не удалось (%1): %2</translation>
    </message>
    <message>
        <source>The source file changed after it was encrypted; it was kept: %1</source>
        <translation>Исходный файл изменился после шифрования; он сохранён: %1</translation>
    </message>
    <message>
        <source>The encrypted file could not be written to the disk (%1); the source file was kept.</source>
        <translation>Зашифрованный файл не удалось записать на диск (%1); исходный файл сохранён.</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>это не обычный файл</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>не удаётся прочитать %1: %2</translation>
    </message>
    <message>
        <source>it is a folder; only files can be encrypted or decrypted</source>
        <translation>это папка; шифровать и расшифровывать можно только файлы</translation>
    </message>
    <message>
        <source>it is no longer a regular file</source>
        <translation>это больше не обычный файл</translation>
    </message>
    <message>
        <source>the file is empty; there is nothing to encrypt or decrypt</source>
        <translation>файл пуст; шифровать или расшифровывать нечего</translation>
    </message>
    <message>
        <source>the folder %1 cannot be written to, so the file cannot be replaced safely; it was left as it is</source>
        <translation>в папку %1 нельзя записывать, поэтому файл нельзя безопасно заменить; он оставлен как есть</translation>
    </message>
    <message>
        <source>it is a symbolic link, and a link is never followed to be wiped; give the path of the file itself</source>
        <translation>это символическая ссылка, а по ссылке файлы не уничтожаются; укажите путь к самому файлу</translation>
    </message>
    <message>
        <source>it is not a regular file (a FIFO, a device or a socket) and has nothing of its own to overwrite</source>
        <translation>это не обычный файл (FIFO, устройство или сокет), и перезаписывать в нём нечего</translation>
    </message>
    <message>
        <source>it was replaced by another file while it was being opened</source>
        <translation>его заменили другим файлом, пока он открывался</translation>
    </message>
    <message>
        <source>it became a symbolic link</source>
        <translation>он стал символической ссылкой</translation>
    </message>
    <message>
        <source>The encrypted bytes went to a pipe, a FIFO or a device, not to a file on the disk; the source file was kept.</source>
        <translation>Зашифрованные байты ушли в канал, FIFO или устройство, а не в файл на диске; исходный файл сохранён.</translation>
    </message>
    <message>
        <source>The key starts with a byte-order mark (U+FEFF), which an editor put before the text: save the key without it.</source>
        <translation>Ключ начинается с метки порядка байтов (U+FEFF), которую редактор поставил перед текстом: сохраните ключ без неё.</translation>
    </message>
    <message>
        <source>The key contains the control character %1, which cannot be typed: a key is text of letters, digits and signs.</source>
        <translation>Ключ содержит управляющий символ %1, который нельзя набрать: ключ — это текст из букв, цифр и знаков.</translation>
    </message>
    <message>
        <source>it is not a file</source>
        <translation>это не файл</translation>
    </message>
    <message>
        <source>it is empty</source>
        <translation>он пуст</translation>
    </message>
    <message>
        <source>its headers describe a program of %1 bytes, and %2 more bytes follow it (a module with bytes appended, or a self-extracting file)</source>
        <translation>его заголовки описывают программу в %1 байт, а за ней следуют ещё %2 байт (модуль с дописанными байтами или самораспаковывающийся файл)</translation>
    </message>
    <message>
        <source>The self-extracting file holds no encrypted data behind its module.</source>
        <translation>В самораспаковывающемся файле за модулем нет зашифрованных данных.</translation>
    </message>
</context>
<context>
    <name>Sfx</name>
    <message>
        <source>its ELF header is cut short</source>
        <translation>его заголовок ELF обрезан</translation>
    </message>
    <message>
        <source>its section header table cannot be read</source>
        <translation>его таблицу заголовков секций не удаётся прочитать</translation>
    </message>
    <message>
        <source>its program header table is malformed</source>
        <translation>его таблица заголовков программы повреждена</translation>
    </message>
    <message>
        <source>its program header table cannot be read</source>
        <translation>его таблицу заголовков программы не удаётся прочитать</translation>
    </message>
    <message>
        <source>its section header table is malformed</source>
        <translation>его таблица заголовков секций повреждена</translation>
    </message>
    <message>
        <source>its ELF headers point past the end of the file (the file is damaged)</source>
        <translation>его заголовки ELF указывают за конец файла (файл повреждён)</translation>
    </message>
    <message>
        <source>it is not an ELF program</source>
        <translation>это не программа ELF</translation>
    </message>
    <message>
        <source>its ELF byte order is not this machine&apos;s</source>
        <translation>порядок байтов в его ELF не тот, что у этой машины</translation>
    </message>
    <message>
        <source>its ELF class is unknown</source>
        <translation>класс его ELF неизвестен</translation>
    </message>
    <message>
        <source>cannot open its own file %1: %2</source>
        <translation>не удаётся открыть собственный файл %1: %2</translation>
    </message>
    <message>
        <source>cannot measure its own file: %1</source>
        <translation>не удаётся узнать размер собственного файла: %1</translation>
    </message>
    <message>
        <source>its own file is not usable: %1</source>
        <translation>собственный файл непригоден: %1</translation>
    </message>
    <message>
        <source>nothing to extract: no encrypted file follows this program. It is the bare self-extracting module; run a self-extracting file that Calyxor made (&quot;NAME.exe&quot;) instead.</source>
        <translation>извлекать нечего: за этой программой нет зашифрованного файла. Это пустой модуль самораспаковки; запустите вместо него самораспаковывающийся файл, созданный Calyxor («ИМЯ.exe»).</translation>
    </message>
    <message>
        <source>cannot tell what to call the restored file: the name %1 does not end in &quot;.exe&quot;. Give the output with -o PATH.</source>
        <translation>неясно, как назвать восстановленный файл: имя %1 не оканчивается на «.exe». Укажите выход через -o ПУТЬ.</translation>
    </message>
    <message>
        <source>cannot tell what to call the restored file from the name %1. Give the output with -o PATH.</source>
        <translation>по имени %1 неясно, как назвать восстановленный файл. Укажите выход через -o ПУТЬ.</translation>
    </message>
    <message>
        <source>%1 needs a path</source>
        <translation>%1 требует путь</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>неизвестный параметр %1</translation>
    </message>
    <message>
        <source>unexpected argument %1 (the output is given with -o PATH)</source>
        <translation>лишний аргумент %1 (выход указывается через -o ПУТЬ)</translation>
    </message>
    <message>
        <source>the output path is empty</source>
        <translation>путь выхода пуст</translation>
    </message>
    <message>
        <source>its own name without &quot;.exe&quot;</source>
        <translation>его собственное имя без «.exe»</translation>
    </message>
    <message>
        <source>standard output</source>
        <translation>стандартный вывод</translation>
    </message>
    <message>
        <source>%1 is this self-extracting file itself; choose another output with -o PATH.</source>
        <translation>%1 — это сам самораспаковывающийся файл; укажите другой выход через -o ПУТЬ.</translation>
    </message>
    <message>
        <source>%1 is a folder; choose another output with -o PATH.</source>
        <translation>%1 — папка; укажите другой выход через -o ПУТЬ.</translation>
    </message>
    <message>
        <source>%1 is not a regular file and was left as it is; choose another output with -o PATH.</source>
        <translation>%1 — не обычный файл и оставлен как есть; укажите другой выход через -o ПУТЬ.</translation>
    </message>
    <message>
        <source>%1 already exists and was left as it is. Use -f to replace it, or -o PATH to write elsewhere.</source>
        <translation>%1 уже существует и оставлен как есть. Заменить его можно с -f, записать в другое место — с -o ПУТЬ.</translation>
    </message>
    <message>
        <source>cannot write %1: the folder %2 does not exist.</source>
        <translation>не удаётся записать %1: папки %2 не существует.</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>не удаётся записать %1: %2</translation>
    </message>
    <message>
        <source>%1 appeared while the file was being restored and was left as it is. Use -f to replace it.</source>
        <translation>%1 появился во время восстановления и оставлен как есть. Заменить его можно с -f.</translation>
    </message>
    <message>
        <source>cannot read the key: %1</source>
        <translation>не удаётся прочитать ключ: %1</translation>
    </message>
    <message>
        <source>the key line is too long (more than 64 KiB); only its first 255 bytes would be used anyway.</source>
        <translation>строка ключа слишком длинна (больше 64 КиБ); всё равно использовались бы только первые 255 байт.</translation>
    </message>
    <message>
        <source>Key: </source>
        <translation>Ключ: </translation>
    </message>
    <message>
        <source>no key was given; an empty key cannot be used. Nothing was written.</source>
        <translation>ключ не введён; пустой ключ использовать нельзя. Ничего не записано.</translation>
    </message>
    <message>
        <source>%1 Nothing was written.</source>
        <translation>%1 Ничего не записано.</translation>
    </message>
    <message>
        <source>cannot read the encrypted data from its own file: %1</source>
        <translation>не удаётся прочитать зашифрованные данные из собственного файла: %1</translation>
    </message>
    <message>
        <source>the file got shorter</source>
        <translation>файл стал короче</translation>
    </message>
    <message>
        <source>standard input is closed, so there is no key to read. Run it from a terminal, or give the key on standard input. Nothing was written.</source>
        <translation>стандартный ввод закрыт, и ключ прочитать неоткуда. Запустите файл из терминала или подайте ключ на стандартный ввод. Ничего не записано.</translation>
    </message>
    <message>
        <source>Restored to standard output (%1 bytes).</source>
        <translation>Восстановлено в стандартный вывод (байт: %1).</translation>
    </message>
    <message>
        <source>Restored %1 (%2 bytes).</source>
        <translation>Восстановлен %1 (байт: %2).</translation>
    </message>
    <message>
        <source>Try &apos;%1 --help&apos;.</source>
        <translation>Справка: &apos;%1 --help&apos;.</translation>
    </message>
    <message>
        <source>it is not a Windows program</source>
        <translation>это не программа Windows</translation>
    </message>
    <message>
        <source>its PE header is missing or cut short</source>
        <translation>его заголовок PE отсутствует или обрезан</translation>
    </message>
    <message>
        <source>its optional header is missing or cut short</source>
        <translation>его необязательный заголовок отсутствует или обрезан</translation>
    </message>
    <message>
        <source>its optional header is of an unknown kind</source>
        <translation>его необязательный заголовок неизвестного вида</translation>
    </message>
    <message>
        <source>its section table cannot be read</source>
        <translation>его таблицу секций не удаётся прочитать</translation>
    </message>
    <message>
        <source>its symbol table points past the end of the file (the file is damaged)</source>
        <translation>его таблица символов указывает за конец файла (файл повреждён)</translation>
    </message>
    <message>
        <source>its PE headers point past the end of the file (the file is damaged)</source>
        <translation>его заголовки PE указывают за конец файла (файл повреждён)</translation>
    </message>
    <message>
        <source>Type the key first.</source>
        <translation>Сначала введите ключ.</translation>
    </message>
    <message>
        <source>“%1” already exists in this folder.

Replace it?</source>
        <translation>«%1» уже есть в этой папке.

Заменить его?</translation>
    </message>
    <message>
        <source>Restored “%1” (%2 bytes) in
%3

If it does not open, the key was wrong: run this file again with the right key and replace it.</source>
        <translation>Восстановлен «%1» (байт: %2) в папке
%3

Если он не открывается, ключ был неверен: запустите этот файл снова с верным ключом и замените его.</translation>
    </message>
    <message>
        <source>Key for “%1” (%2 bytes):</source>
        <translation>Ключ для «%1» (байт: %2):</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>cannot show its window: %1</source>
        <translation>не удаётся показать окно: %1</translation>
    </message>
    <message>
        <source>interrupted; nothing was written.</source>
        <translation>прервано; ничего не записано.</translation>
    </message>
    <message>
        <source>error %1</source>
        <translation>ошибка %1</translation>
    </message>
    <message>
        <source>cannot find its own file: %1</source>
        <translation>не удаётся найти собственный файл: %1</translation>
    </message>
    <message>
        <source>cannot write in the folder %1: %2</source>
        <translation>не удаётся писать в папку %1: %2</translation>
    </message>
    <message>
        <source>The key is asked for on the terminal and is not shown as it is typed. When standard
input is not a terminal, its first line is the key, so that scripts can use it:
    printf &apos;%s\n&apos; &quot;$KEY&quot; | ./%1
</source>
        <translation>Ключ запрашивается на терминале и не показывается при вводе. Если стандартный
ввод — не терминал, ключом служит его первая строка (удобно для сценариев):
    printf &apos;%s\n&apos; &quot;$KEY&quot; | ./%1
</translation>
    </message>
    <message>
        <source>  -o PATH      write it to PATH instead (into PATH, under that name, when PATH is a
               folder; straight through when PATH is a pipe or a device such as
               /dev/stdout; -o - is standard output)
</source>
        <translation>  -o ПУТЬ      записать его в ПУТЬ (в папку ПУТЬ под этим именем, если ПУТЬ —
               папка; напрямую, если ПУТЬ — канал или устройство, например
               /dev/stdout; -o - — стандартный вывод)
</translation>
    </message>
    <message>
        <source>Started from Explorer it asks for the key in a small window and restores the file
beside itself. Started from a console it asks for the key there, without showing it.
When standard input is redirected, its first line is the key (UTF-8), for scripts:
    type key.txt | %1
</source>
        <translation>Запущенный из Проводника, он спрашивает ключ в небольшом окне и восстанавливает
файл рядом с собой. Запущенный из консоли, спрашивает ключ в ней, не показывая
его. Если стандартный ввод перенаправлен, ключом служит его первая строка
(UTF-8), для сценариев:
    type key.txt | %1
</translation>
    </message>
    <message>
        <source>The restored file is written as %1 in the current folder.
</source>
        <translation>Восстановленный файл записывается как %1 в текущую папку.
</translation>
    </message>
    <message>
        <source>Exit status: 0 when the file was written, 1 on any failure, 2 for a wrong command
line. A failed run leaves no partial file under the output&apos;s name.
</source>
        <translation>Код выхода: 0, если файл записан, 1 при любой ошибке, 2 при неверной командной
строке. Неудачный запуск не оставляет неполного файла под именем выхода.
</translation>
    </message>
    <message>
        <source>The file holds no key check, so the stub decrypts its first bytes before writing: when
they look like random noise rather than a file, nothing is written and a key typed on
the terminal is asked for again (three tries). Files under 64 bytes, and content that
is itself random, cannot be judged; if the restored file does not open, run the stub
again with the right key and -f.
</source>
        <translation>В файле нет проверки ключа, поэтому программа до записи расшифровывает его первые
байты: если они похожи на случайный шум, а не на файл, ничего не записывается, а ключ,
набранный в терминале, спрашивается снова (три попытки). Файлы меньше 64 байт и
содержимое, которое само случайно, оценить нельзя; если восстановленный файл не
открывается, запустите программу снова с верным ключом и -f.
</translation>
    </message>
    <message>
        <source>The key seems to be wrong: the restored file would not look like a file.

Type it again.</source>
        <translation>Похоже, ключ неверный: восстановленный файл не был бы похож на обычный файл.

Введите ключ ещё раз.</translation>
    </message>
    <message>
        <source>The key seems to be wrong: the restored file would not look like a file. Nothing was written.</source>
        <translation>Похоже, ключ неверный: восстановленный файл не был бы похож на обычный файл. Ничего не записано.</translation>
    </message>
    <message>
        <source>The file is written beside this one. A key that would give what does not look like a file is asked for again.</source>
        <translation>Файл будет записан рядом с этим. Если с ключом получается не похожее на файл, ключ спрашивается снова.</translation>
    </message>
    <message>
        <source>The file holds no key check, so the module decrypts its first bytes before writing:
when they look like random noise rather than a file, nothing is written and a key
typed in the console or the window is asked for again (three tries). Files under 64
bytes, and content that is itself random, cannot be judged; if the restored file does
not open, run it again with the right key and -f.
</source>
        <translation>В файле нет проверки ключа, поэтому модуль до записи расшифровывает его первые байты:
если они похожи на случайный шум, а не на файл, ничего не записывается, а ключ,
набранный в консоли или в окне, спрашивается снова (три попытки). Файлы меньше 64 байт
и содержимое, которое само случайно, оценить нельзя; если восстановленный файл не
открывается, запустите модуль снова с верным ключом и -f.
</translation>
    </message>
    <message>
        <source>the key seems to be wrong: the restored file would not look like a file. Type it again.</source>
        <translation>похоже, ключ неверный: восстановленный файл не был бы похож на обычный файл. Введите ключ ещё раз.</translation>
    </message>
    <message>
        <source>the key seems to be wrong: the restored file would not look like a file. Nothing was written (--no-key-check restores it anyway).</source>
        <translation>похоже, ключ неверный: восстановленный файл не был бы похож на обычный файл. Ничего не записано (--no-key-check всё равно восстанавливает его).</translation>
    </message>
    <message>
        <source>Usage: %1 [-o PATH] [-f] [--no-key-check]
Restores the file that Calyxor encrypted into this self-extracting file.
</source>
        <translation>Запуск: %1 [-o ПУТЬ] [-f] [--no-key-check]
Восстанавливает файл, зашифрованный Calyxor в этот самораспаковывающийся файл.
</translation>
    </message>
    <message>
        <source>  -f           replace the output file if it exists; without -f an existing file is
               never touched
  --no-key-check
               restore even when the result looks like a wrong key&apos;s (for content
               that is itself random)
  -h, --help   show this help
</source>
        <translation>  -f           заменить выходной файл, если он есть; без -f существующий файл
               никогда не трогается
  --no-key-check
               восстановить, даже если результат похож на результат неверного ключа
               (для содержимого, которое само случайно)
  -h, --help   показать эту справку
</translation>
    </message>
    <message>
        <source>Copyright (c) 2026 The Calyxor developers. MIT licence: free to use, copy and pass on with this notice.
</source>
        <translation>Copyright (c) 2026 The Calyxor developers. Лицензия MIT: можно свободно использовать, копировать и передавать с этим уведомлением.
</translation>
    </message>
    <message>
        <source>  -o PATH      write it to PATH instead (into PATH, under that name, when PATH is a
               folder; -o - is standard output)
</source>
        <translation>  -o ПУТЬ      записать его в ПУТЬ (в папку ПУТЬ под этим именем, если ПУТЬ —
               папка; -o - — стандартный вывод)
</translation>
    </message>
    <message>
        <source>this file is named %1, after a Windows device, and cannot be read under that name. Rename it (to report.doc.exe, say) and run it again.</source>
        <translation>этот файл назван %1, как устройство Windows, и под этим именем его нельзя прочитать. Переименуйте его (например, в report.doc.exe) и запустите снова.</translation>
    </message>
    <message>
        <source>%1 is the name of a Windows device, not of a file, and is never opened; choose another output with -o PATH.</source>
        <translation>%1 — имя устройства Windows, а не файла, и оно не открывается; выберите другой вывод с -o ПУТЬ.</translation>
    </message>
    <message>
        <source>standard output is closed; nothing was written.</source>
        <translation>стандартный вывод закрыт; ничего не записано.</translation>
    </message>
</context>
</TS>
