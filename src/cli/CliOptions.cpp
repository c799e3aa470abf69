// SPDX-License-Identifier: MIT
#include "cli/CliOptions.h"

#include <charconv>
#include <string_view>

namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

template <typename T> T Number(const std::string& option, const std::string& text, T least) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < least)
        throw TUsageError(Format(least > 0 ? Translated("Cli", "%1 needs a number of at least 1, "
                                                               "not '%2'")
                                           : Translated("Cli", "%1 needs a number, not '%2'"),
                                 {option, text}));
    return value;
}

class TArgReader {
public:
    explicit TArgReader(const std::vector<std::string>& args) : Args(args) {}
    [[nodiscard]] bool Done() const { return Pos >= Args.size(); }
    const std::string& Next() { return Args[Pos++]; }
    // The value of an option given as "--name VALUE" or "-x VALUE".
    const std::string& Value(const std::string& option) {
        if (Done())
            throw TUsageError(Format(Translated("Cli", "%1 needs a value"), {option}));
        return Next();
    }

private:
    const std::vector<std::string>& Args;
    std::size_t Pos = 0;
};

void SetCommand(TCliOptions& o, const std::string& word) {
    if (word == "encrypt")
        o.Command = TCliCommand::Encrypt;
    else if (word == "decrypt")
        o.Command = TCliCommand::Decrypt;
    else if (word == "wipe")
        o.Command = TCliCommand::Wipe;
    else if (word == "genkey")
        o.Command = TCliCommand::GenKey;
    else
        throw TUsageError(Format(Translated("Cli", "unknown command '%1' (the commands are "
                                                   "encrypt, decrypt, wipe and genkey)"),
                                 {word}));
}

// Options of the "--name" and "--name=value" forms.
void LongOption(TCliOptions& o, const std::string& arg, TArgReader& in) {
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const std::optional<std::string> inlineValue =
        eq == std::string::npos ? std::nullopt : std::optional(arg.substr(eq + 1));
    auto value = [&]() -> std::string { return inlineValue ? *inlineValue : in.Value(name); };
    auto flag = [&](bool& field) {
        if (inlineValue)
            throw TUsageError(Format(Translated("Cli", "%1 takes no value"), {name}));
        field = true;
    };
    if (name == "--help")
        flag(o.Help);
    else if (name == "--version")
        flag(o.Version);
    else if (name == "--force")
        flag(o.Force);
    else if (name == "--wipe")
        flag(o.Wipe);
    else if (name == "--quiet")
        flag(o.Quiet);
    else if (name == "--recursive")
        flag(o.Recursive);
    else if (name == "--all")
        flag(o.All);
    else if (name == "--remove-dirs")
        flag(o.RemoveDirs);
    else if (name == "--cross-file-systems")
        flag(o.CrossFileSystems);
    else if (name == "--one-file-system") {
        // The default, accepted so that a script can say so.
        bool set = false;
        flag(set);
        o.CrossFileSystems = false;
    } else if (name == "--words")
        o.Words = Number<unsigned>(name, value(), 1);
    else if (name == "--no-key-check") {
        bool set = false;
        flag(set);
        o.KeyCheck = false;
    } else if (name == "--sfx") {
        // The module is optional, so it can only be given after "=".
        o.Sfx = true;
        if (inlineValue) {
            if (inlineValue->empty())
                throw TUsageError(Translated("Cli", "--sfx= needs the path of a module"));
            o.SfxModule = *inlineValue;
        }
    } else if (name == "--output")
        o.Output = value();
    else if (name == "--key-file")
        o.KeyFile = value();
    else if (name == "--key-fd")
        o.KeyFd = Number<int>(name, value(), 0);
    else if (name == "--jobs")
        o.Jobs = Number<unsigned>(name, value(), 1);
    else
        throw TUsageError(Format(Translated("Cli", "unknown option '%1'"), {name}));
}

// Short options, which may be grouped ("-fq"); -o and -j take the rest of the word or the
// next argument as their value.
void ShortOptions(TCliOptions& o, const std::string& arg, TArgReader& in) {
    for (std::size_t i = 1; i < arg.size(); ++i) {
        const char c = arg[i];
        const std::string option = std::string("-") + c;
        if (c == 'o' || c == 'j') {
            const std::string v = i + 1 < arg.size() ? arg.substr(i + 1) : in.Value(option);
            if (c == 'o')
                o.Output = v;
            else
                o.Jobs = Number<unsigned>(option, v, 1);
            return;
        }
        if (c == 'f')
            o.Force = true;
        else if (c == 'q')
            o.Quiet = true;
        else if (c == 'h')
            o.Help = true;
        else if (c == 'r')
            o.Recursive = true;
        else
            throw TUsageError(Format(Translated("Cli", "unknown option '%1'"), {option}));
    }
}

// Each word carries about 12.9 bits; past this many a passphrase would outgrow the key's
// 255 bytes, of which the rest would count for nothing.
constexpr unsigned MaxWords = 25;

void CheckGenKey(const TCliOptions& o) {
    if (!o.Files.empty())
        throw TUsageError(Translated("Cli", "genkey takes no FILE"));
    if (o.Words > MaxWords)
        throw TUsageError(Format(Translated("Cli", "--words takes at most %1: a key counts only "
                                                   "its first 255 bytes"),
                                 {std::to_string(MaxWords)}));
    if (o.Output || o.Force || o.Sfx || o.Wipe || o.KeyFile || o.KeyFd || !o.KeyCheck ||
        o.Recursive || o.All || o.RemoveDirs || o.CrossFileSystems || o.Jobs)
        throw TUsageError(Translated("Cli", "genkey takes only --words N"));
}

void Check(const TCliOptions& o) {
    if (o.Command == TCliCommand::None)
        throw TUsageError(Translated("Cli", "no command given (encrypt, decrypt, wipe or genkey)"));
    if (o.Command == TCliCommand::GenKey)
        return CheckGenKey(o);
    if (o.Words != 0)
        throw TUsageError(Translated("Cli", "--words belongs to genkey only"));
    const bool wipe = o.Command == TCliCommand::Wipe;
    const bool encrypt = o.Command == TCliCommand::Encrypt;
    if (o.Files.empty())
        throw TUsageError(Translated("Cli", "no FILE given"));
    if (o.Output && o.Recursive)
        throw TUsageError(Translated("Cli", "-o names one output; it cannot go with -r"));
    if (o.All && !(encrypt && o.Recursive))
        throw TUsageError(Translated("Cli", "--all belongs to encrypt -r only"));
    if (o.RemoveDirs && !(wipe && o.Recursive))
        throw TUsageError(Translated("Cli", "--remove-dirs belongs to wipe -r only"));
    if (o.CrossFileSystems && !o.Recursive)
        throw TUsageError(Translated("Cli", "--cross-file-systems belongs to -r only"));
    if (o.Output && o.Files.size() > 1)
        throw TUsageError(Format(Translated("Cli", "-o names one output, but %1 files were given"),
                                 {std::to_string(o.Files.size())}));
    if (o.Output && o.Output->empty())
        throw TUsageError(Translated("Cli", "-o needs a path (or - for standard output)"));
    if (o.Command != TCliCommand::Decrypt && !o.KeyCheck)
        throw TUsageError(Translated("Cli", "--no-key-check belongs to decrypt only"));
    if (!encrypt && (o.Sfx || o.Wipe))
        throw TUsageError(
            Format(Translated("Cli", "%1 belongs to encrypt only"), {o.Sfx ? "--sfx" : "--wipe"}));
    if (wipe && (o.Output || o.Force || o.KeyFile || o.KeyFd))
        throw TUsageError(Translated("Cli", "wipe takes no output, -f or key"));
    if (o.KeyFile && o.KeyFd)
        throw TUsageError(Translated("Cli", "give the key one way: --key-file or --key-fd"));
    if (o.Wipe && o.Output == "-")
        throw TUsageError(
            Translated("Cli", "--wipe needs the encrypted copy in a file: it cannot go with -o -"));
}

} // namespace

TCliOptions ParseCliOptions(const std::vector<std::string>& args) {
    TCliOptions o;
    TArgReader in(args);
    bool optionsEnded = false;
    while (!in.Done()) {
        const std::string& arg = in.Next();
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && StartsWith(arg, "--")) {
            LongOption(o, arg, in);
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            ShortOptions(o, arg, in);
        } else if (o.Command == TCliCommand::None) {
            SetCommand(o, arg);
        } else {
            o.Files.push_back(arg);
        }
        // Help and version need nothing else to be right.
        if (o.Help || o.Version)
            return o;
    }
    Check(o);
    return o;
}

const char* CliUsageText() {
    return Translated(
        "Cli", "Usage: calyxor-cli encrypt [-o PATH] [-f] [--sfx[=MODULE]] [--wipe] FILE...\n"
               "       calyxor-cli encrypt -r [--all] [-f] [--sfx[=MODULE]] [--wipe] FOLDER...\n"
               "       calyxor-cli decrypt [-r] [-o PATH] [-f] [--no-key-check] FILE...\n"
               "       calyxor-cli wipe [-r [--remove-dirs]] FILE...\n"
               "       calyxor-cli genkey [--words N]\n"
               "Encrypts, decrypts and wipes files with a password, writing the same bytes as\n"
               "the Calyxor window.\n"
               "\n"
               "Commands:\n"
               "  encrypt   write FILE.ash beside each FILE (FILE.exe with --sfx)\n"
               "  decrypt   write each result beside its FILE, named as the window names it:\n"
               "            cut before the extension (report.doc.ash gives report.doc)\n"
               "  wipe      overwrite each FILE with 0x0F, flush it to the disk, delete it\n"
               "  genkey    print a passphrase of random words (6 words, about 77 bits)\n"
               "\n"
               "Options:\n"
               "  -o, --output PATH  the output (one FILE only); - is standard output, which\n"
               "                     must not be a terminal\n"
               "  -f, --force        replace existing outputs; without it an existing file is\n"
               "                     never touched and that FILE fails\n"
               "  -r, --recursive    work on the files under each FOLDER: encrypt every\n"
               "                     regular file but .ash files, decrypt every .ash file,\n"
               "                     wipe every file; links are never followed, other kinds of\n"
               "                     file are skipped, each with a message\n"
               "  --all              encrypt -r: encrypt .ash files too\n"
               "  --remove-dirs      wipe -r: remove the folders left empty\n"
               "  --one-file-system  -r: stay on each FOLDER's file system (the default)\n"
               "  --cross-file-systems  -r: enter folders on other file systems too\n"
               "  --sfx[=MODULE]     make a self-extracting program (FILE.exe) with the module\n"
               "                     the window uses, or with MODULE: linux and windows name\n"
               "                     the shipped modules, anything else is a path\n"
               "  --wipe             wipe each FILE once its encrypted copy is complete and on\n"
               "                     the disk\n"
               "  --no-key-check     decrypt: write the result even when it looks like a wrong\n"
               "                     key's (for content that is itself random)\n"
               "  -j, --jobs N       work on N files at once (default: one per core)\n"
               "  -q, --quiet        no progress, results or summary on the terminal\n"
               "  --words N          genkey: the number of words (1 to 25)\n"
               "  -h, --help         show this help and exit\n"
               "  --version          show the version and exit\n"
               "\n"
               "The key is never an argument. On a terminal it is asked for without being shown\n"
               "(twice for encrypt, where Enter alone takes a generated passphrase, shown once);\n"
               "otherwise give it with\n"
               "  --key-file PATH    the first line of PATH (- is standard input)\n"
               "  --key-fd N         the first line read from descriptor N\n"
               "The encrypted file holds no key check, so decrypt looks at the first decrypted\n"
               "bytes before writing: a result that looks like random noise rather than a file\n"
               "is not written (a typed key is asked for again). Files too small to tell, and\n"
               "content that is itself random, cannot be judged.\n"
               "\n"
               "Examples:\n"
               "  calyxor-cli encrypt report.doc           # asks for the key twice\n"
               "  calyxor-cli encrypt --sfx --wipe *.doc   # self-extracting copies, then wipe\n"
               "  calyxor-cli encrypt -r --wipe Documents  # every file under Documents\n"
               "  calyxor-cli decrypt --key-file ~/.key report.doc.ash\n"
               "  calyxor-cli decrypt -o - --key-fd 3 report.doc.ash 3<key.txt | less\n"
               "  calyxor-cli wipe old.doc\n"
               "  calyxor-cli genkey --words 8\n"
               "\n"
               "Exit status: 0 when every FILE succeeded, 1 when any failed, 2 for a wrong\n"
               "command line or no usable key (nothing is written then).\n");
}
