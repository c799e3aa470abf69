<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>Dialogs</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>&amp;Нет</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>&amp;Да</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>О&amp;тмена</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>Engine</name>
    <message>
        <source>Модуль SFX не найден</source>
        <translation>SFX module not found</translation>
    </message>
    <message>
        <source>Не могу удалить файл</source>
        <translation>Cannot wipe the file</translation>
    </message>
    <message>
        <source>Модуль SFX не является целой программой, файл не создан</source>
        <translation>The SFX module is not a whole program; no file was made</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Просмотреть ключ</source>
        <translation>Show key</translation>
    </message>
    <message>
        <source>Выбрать файл</source>
        <translation>Choose file</translation>
    </message>
    <message>
        <source>Зашифровать файл</source>
        <translation>Encrypt file</translation>
    </message>
    <message>
        <source>Расшифровать файл</source>
        <translation>Decrypt file</translation>
    </message>
    <message>
        <source>Удалить файл</source>
        <translation>Wipe file</translation>
    </message>
    <message>
        <source>Свернуть</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>Удалить исходный файл</source>
        <translation>Wipe the source file</translation>
    </message>
    <message>
        <source>Создать SFX шифрованный файл</source>
        <translation>Create SFX encrypted file</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Открыть</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Команды</source>
        <translation>Commands</translation>
    </message>
    <message>
        <source>Зашифровать</source>
        <translation>Encrypt</translation>
    </message>
    <message>
        <source>Расшифровать</source>
        <translation>Decrypt</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Wipe</translation>
    </message>
    <message>
        <source>Параметры</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Выбрать скин</source>
        <translation>Choose skin</translation>
    </message>
    <message>
        <source>Выбрать SFX модуль</source>
        <translation>Choose SFX module</translation>
    </message>
    <message>
        <source>Calyxor skin file</source>
        <translation>Calyxor skin file</translation>
    </message>
    <message>
        <source>Все файлы</source>
        <translation>All files</translation>
    </message>
    <message>
        <source>Файл «%1» уже существует. Заменить?</source>
        <translation>The file “%1” already exists. Replace it?</translation>
    </message>
    <message>
        <source>Calyxor SFX Module</source>
        <translation>Calyxor SFX Module</translation>
    </message>
    <message>
        <source>«%1» — не файл и не может быть модулем SFX. Выберите файл модуля (Параметры → Выбрать SFX модуль).</source>
        <translation>“%1” is not a file and cannot be the SFX module. Choose the module’s file (Options → Choose SFX module).</translation>
    </message>
    <message>
        <source>Ход операции</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>Ключ</source>
        <translation>Key</translation>
    </message>
    <message>
        <source>Зашифрован: %1</source>
        <translation>Encrypted: %1</translation>
    </message>
    <message>
        <source>Исходный файл удалён: %1</source>
        <translation>The source file was wiped: %1</translation>
    </message>
    <message>
        <source>Не могу назвать расшифрованный файл: у «%1» нет расширения, которое можно убрать. Переименуйте его так, чтобы имя кончалось на .ash, и попробуйте снова.</source>
        <translation>Cannot name the decrypted file: “%1” has no extension to remove. Rename it to end in .ash and try again.</translation>
    </message>
    <message>
        <source>Расшифрован: %1</source>
        <translation>Decrypted: %1</translation>
    </message>
    <message>
        <source>Удалён: %1</source>
        <translation>Wiped: %1</translation>
    </message>
    <message>
        <source>Непредвиденная ошибка</source>
        <translation>Unexpected error</translation>
    </message>
    <message>
        <source>&quot;%1&quot; не может быть модулем SFX: это не целая программа (пустой файл, текст, программа с дописанными байтами или уже созданный SFX файл). Модуль остался прежним.</source>
        <translation>&quot;%1&quot; cannot be the SFX module: it is not a whole program (an empty file, a text, a program with bytes appended, or a self-extracting file already made). The module in use stays.</translation>
    </message>
    <message>
        <source>Calyxor: нет экрана, на котором показать окно. Без него работает только командная строка: calyxor ENC|DEC ключ источник цель</source>
        <translation>Calyxor: no display to show the window on. Without one it runs only the command line: calyxor ENC|DEC key source target</translation>
    </message>
    <message>
        <source>Похоже, ключ неверный: расшифрованный файл не похож на обычный файл. Всё равно расшифровать?</source>
        <translation>The key seems to be wrong: the decrypted file does not look like a file. Decrypt it anyway?</translation>
    </message>
    <message>
        <source>Ключ короче %1 знаков: его легко подобрать.</source>
        <translation>The key is shorter than %1 characters: it is easy to guess.</translation>
    </message>
    <message>
        <source>Исходный файл будет удалён. Введите &amp;ключ ещё раз:</source>
        <translation>The source file will be wiped. Type the &amp;key again:</translation>
    </message>
    <message>
        <source>Ключи не совпадают. Ничего не записано, исходный файл не тронут.</source>
        <translation>The keys differ. Nothing was written, and the source file is as it was.</translation>
    </message>
</context>
</TS>
