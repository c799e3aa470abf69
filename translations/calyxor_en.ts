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
        <source>Нет</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Да</source>
        <translation>Yes</translation>
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
        <source>&quot;%1&quot; is not a file and cannot be the SFX module. Choose the module&apos;s file (Параметры → Выбрать SFX модуль).</source>
        <translation>&quot;%1&quot; is not a file and cannot be the SFX module. Choose the module&apos;s file (Options → Choose SFX module).</translation>
    </message>
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
        <source>Calyxor: no display to show the window on. Without one it runs only the command line: calyxor ENC|DEC key source target</source>
        <translation>Calyxor: no display to show the window on. Without one it runs only the command line: calyxor ENC|DEC key source target</translation>
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
        <source>Cannot name the decrypted file: &quot;%1&quot; has no extension to remove. Rename it to end in .ash and try again.</source>
        <translation>Cannot name the decrypted file: &quot;%1&quot; has no extension to remove. Rename it to end in .ash and try again.</translation>
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
        <source>Unexpected error</source>
        <translation>Unexpected error</translation>
    </message>
    <message>
        <source>&quot;%1&quot; не может быть модулем SFX: это не целая программа (пустой файл, текст, программа с дописанными байтами или уже созданный SFX файл). Модуль остался прежним.</source>
        <translation>&quot;%1&quot; cannot be the SFX module: it is not a whole program (an empty file, a text, a program with bytes appended, or a self-extracting file already made). The module in use stays.</translation>
    </message>
</context>
</TS>
