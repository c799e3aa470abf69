// SPDX-License-Identifier: MIT
// calyxor-cli: the command line of Calyxor for scripts and terminals. It writes the same bytes
// as the window through the same operations, never takes the key as an argument, and works
// on several files at once.

#include "cipher/CoreDumps.h"
#include "cli/CliOptions.h"
#include "cli/Console.h"
#include "cli/KeyInput.h"
#include "cli/Passphrase.h"
#include "cli/Tree.h"
#include "config/FilePaths.h"
#include "config/Locations.h"
#include "lang/Language.h"
#include "ops/KeyCheck.h"
#include "ops/Naming.h"
#include "ops/Operations.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <sched.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

struct TJob {
    std::string Source;
    std::string Target;  // empty with "-o -": standard output
    std::string Problem; // why the job cannot run, found before any job starts
    TPayload Payload{};  // decrypt: where the encrypted bytes lie (behind a module)
};

// The name a self-extracting file restores under, as its module names it: its own name
// without ".exe".
std::string SelfExtractedName(const std::string& file) {
    std::string name = ExtractFileName(file);
    if (name.size() > 4) {
        std::string tail = name.substr(name.size() - 4);
        for (char& c : tail)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (tail == ".exe")
            return name.substr(0, name.size() - 4);
    }
    return DecryptTargetName(file);
}

std::string PathKey(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::weakly_canonical(path, ec);
    if (ec)
        p = std::filesystem::absolute(path, ec).lexically_normal();
    return p.string();
}

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

std::string AlreadyExists(const std::string& target) {
    return Format(Translated("Cli", "%1 already exists and was left as it is (-f replaces it)"),
                  {Quoted(target)});
}

// The name a decryption's result is judged under: its output's, or the one it would have.
std::string JudgedName(const TJob& job) {
    if (!job.Target.empty())
        return job.Target;
    return job.Payload.Start > 0 ? SelfExtractedName(job.Source) : DecryptTargetName(job.Source);
}

std::string WrongKeyText() {
    return Translated("Cli", "the key seems to be wrong: the result does not look like a file; "
                             "nothing was written (--no-key-check writes it anyway)");
}

// What a failure says here: with the cause the system gave, where the window has a shorter text.
std::string Said(const std::exception& e) {
    const auto* own = dynamic_cast<const Exception*>(&e);
    return own ? own->Explained() : e.what();
}

// The key file is the one file a run must never consume: encrypted with itself and wiped, or
// replaced by an output, the key to everything written would be gone.
std::string KeyFileProblem(const TJob& job, const std::optional<TFileId>& keyFile) {
    struct stat st {};
    auto isKey = [&](const std::string& path) {
        return keyFile && !path.empty() && ::stat(path.c_str(), &st) == 0 &&
               st.st_dev == keyFile->Device && st.st_ino == keyFile->Inode;
    };
    if (isKey(job.Source))
        return Translated("Cli", "it is the key file of this run; it was left as it is");
    if (isKey(job.Target))
        return Format(Translated("Cli", "%1 is the key file of this run; it was not replaced"),
                      {Quoted(job.Target)});
    return {};
}

std::vector<TJob> PlanJobs(const TCliOptions& o, const std::vector<std::string>& files,
                           const std::optional<TFileId>& keyFile) {
    std::vector<TJob> jobs;
    for (const std::string& file : files) {
        TJob job{file, {}, {}, {}};
        // A self-extracting file is decrypted as it restores itself: its module is left out.
        const std::optional<TPayload> payload =
            o.Command == TCliCommand::Decrypt ? ops::SelfExtractingPayload(file) : std::nullopt;
        if (payload)
            job.Payload = *payload;
        if (o.Output) {
            job.Target = *o.Output == "-" ? std::string() : *o.Output;
        } else if (o.Command == TCliCommand::Encrypt) {
            job.Target = EncryptTargetName(file, o.Sfx);
        } else if (o.Command == TCliCommand::Decrypt) {
            const std::string name = payload ? SelfExtractedName(file) : DecryptTargetName(file);
            if (name.empty())
                job.Problem = Format(Translated("Cli", "cannot name the decrypted file: %1 has no "
                                                       "extension to remove; give the output "
                                                       "with -o PATH"),
                                     {Quoted(ExtractFileName(file))});
            else
                job.Target = ExtractFilePath(file) + name;
        }
        if (job.Problem.empty())
            job.Problem = KeyFileProblem(job, keyFile);
        jobs.push_back(std::move(job));
    }
    // Jobs run at once: two that wrote one file, or one that wrote what another reads, would
    // spoil each other's bytes. The later one is refused before anything starts.
    std::map<std::string, std::string> sources, targets;
    for (TJob& job : jobs) {
        const std::string key = PathKey(job.Source);
        if (o.Command == TCliCommand::Wipe && sources.count(key))
            job.Problem = Translated("Cli", "given twice; it is wiped once");
        sources.emplace(key, job.Source);
    }
    for (TJob& job : jobs) {
        if (!job.Problem.empty() || job.Target.empty() || o.Command == TCliCommand::Wipe)
            continue;
        // Found before the key is asked for: a user who typed it twice should not then hear
        // that nothing could be written anyway. The job checks again when it starts.
        struct stat st {};
        if (!o.Force && ::lstat(job.Target.c_str(), &st) == 0) {
            job.Problem = AlreadyExists(job.Target);
            continue;
        }
        const std::string key = PathKey(job.Target);
        if (const auto w = targets.find(key); w != targets.end())
            job.Problem =
                Format(Translated("Cli", "%1 is already the output of %2; not written twice"),
                       {Quoted(job.Target), w->second});
        else if (const auto r = sources.find(key); r != sources.end() && key != PathKey(job.Source))
            job.Problem =
                Format(Translated("Cli", "%1 is one of the files given; it was not replaced"),
                       {Quoted(job.Target)});
        else
            targets.emplace(key, job.Source);
    }
    return jobs;
}

// What one job tells: each line names the job's file, and the count says whether a file that
// failed has been explained. Jobs running at once each have their own.
class TJobMessages : public TNoticeReceiver {
public:
    TJobMessages(TConsole& console, std::string file) : Console(console), File(std::move(file)) {}
    void Notice(const TNotice& notice) override {
        Tell(notice.Cause.empty() ? notice.Text : notice.Text + ": " + notice.Cause);
    }
    void Tell(const std::string& text) {
        ++Told;
        Console.Message(File, text);
    }
    [[nodiscard]] bool Silent() const { return Told == 0; }

private:
    TConsole& Console;
    const std::string File;
    int Told = 0;
};

class TRunner {
public:
    TRunner(const TCliOptions& options, const TSecretBytes& key, const TSfxOptions& sfx,
            TConsole& console)
        : O(options), Key(key), Sfx(sfx), Console(console) {}

    bool Run(const TJob& job) {
        TJobMessages messages(Console, job.Source);
        // A job that never starts is over for the status line all the same.
        auto refuse = [&](const std::string& why) {
            messages.Tell(why);
            Console.End(nullptr, false, {});
            return false;
        };
        if (!job.Problem.empty())
            return refuse(job.Problem);
        const bool writes = O.Command != TCliCommand::Wipe;
        // Without -f an existing output is never touched; the engine refuses it too, this is
        // the plainer message.
        struct stat st {};
        if (writes && !O.Force && !job.Target.empty() && ::lstat(job.Target.c_str(), &st) == 0)
            return refuse(AlreadyExists(job.Target));
        // Looked at before anything is written: the format has no key check of its own.
        if (O.Command == TCliCommand::Decrypt && O.KeyCheck &&
            ops::JudgeDecryption(job.Source, JudgedName(job), Key,
                                 static_cast<uint64_t>(job.Payload.Start)) ==
                TKeyVerdict::LooksWrong)
            return refuse(WrongKeyText());
        const int64_t bytes = ::stat(job.Source.c_str(), &st) == 0 ? st.st_size : 0;
        TConsole::TFile* line = Console.Begin(job.Source, bytes);
        bool ok = false;
        try {
            const ops::TOutcome outcome = Work(job, line, messages);
            if (outcome.Warning)
                messages.Tell(outcome.Warning->Text);
            ok = outcome.Done;
        } catch (const std::exception& e) {
            messages.Tell(Said(e));
        }
        if (!ok && messages.Silent())
            messages.Tell(O.Command == TCliCommand::Wipe ? Translated("Cli", "not wiped")
                                                         : Translated("Cli", "not written"));
        Console.End(line, ok, Outcome(job));
        return ok;
    }

private:
    ops::TOutcome Work(const TJob& job, TProgressReceiver* progress, TJobMessages& messages) {
        const TOutputOptions output{O.Force};
        switch (O.Command) {
        case TCliCommand::Encrypt:
            return ops::EncryptAndWipe(job.Source, job.Target, Key, Sfx, O.Wipe, progress,
                                       &messages, output);
        case TCliCommand::Decrypt:
            return ops::DecryptFile(job.Source, job.Target, Key, progress, &messages, output,
                                    job.Payload);
        case TCliCommand::Wipe:
            return Wipe(job.Source, progress, messages);
        case TCliCommand::None:
        case TCliCommand::GenKey:
            break;
        }
        return {};
    }

    static ops::TOutcome Wipe(const std::string& path, TProgressReceiver* progress,
                              TJobMessages& messages) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            messages.Tell(IOErrorText(errno));
            return {};
        }
        if (S_ISDIR(st.st_mode)) {
            messages.Tell(Translated("Cli", "is a folder; only files are wiped"));
            return {};
        }
        return ops::WipeFile(path, path, progress, &messages);
    }

    std::string Outcome(const TJob& job) const {
        const std::string into =
            job.Target.empty() ? Translated("Cli", "standard output") : job.Target;
        switch (O.Command) {
        case TCliCommand::Encrypt:
            return Format(O.Wipe ? Translated("Cli", "%1 encrypted into %2, source wiped")
                                 : Translated("Cli", "%1 encrypted into %2"),
                          {job.Source, into});
        case TCliCommand::Decrypt:
            return Format(Translated("Cli", "%1 decrypted into %2"), {job.Source, into});
        default:
            return Format(Translated("Cli", "%1 wiped"), {job.Source});
        }
    }

    const TCliOptions& O;
    const TSecretBytes& Key;
    const TSfxOptions& Sfx;
    TConsole& Console;
};

unsigned CoreCount() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
    return std::max(1u, std::thread::hardware_concurrency());
}

// The shipped modules by the system their programs run on.
std::string ShippedModule(const std::string& name) {
    const std::string data = FindLocations(ops::ExecutableDir()).DataDir;
    if (name == "linux")
        return data + DefaultSfxModuleName;
    if (name == "windows")
        return data + "SFX/windows.sfx";
    return {};
}

// The module and its size, taken now as the window takes them when a module is chosen.
// Without a module named, the window's choice decides, and a user at a terminal is told which
// it is: a program for the wrong system is no use to the one who receives it.
TSfxOptions ChooseModule(const TCliOptions& o, bool tell) {
    TSfxOptions sfx;
    if (!o.Sfx)
        return sfx;
    sfx.Enabled = true;
    const std::string shipped = ShippedModule(o.SfxModule);
    sfx.Module = !shipped.empty()      ? shipped
                 : o.SfxModule.empty() ? ops::DefaultSfxModule(ops::ExecutableDir())
                                       : o.SfxModule;
    if (sfx.Module.empty())
        throw TStartError(Translated("Cli", "no SFX module is chosen (SFX= is empty in the "
                                            "settings); give one with --sfx=PATH. Nothing was "
                                            "written."));
    struct stat st {};
    if (::stat(sfx.Module.c_str(), &st) != 0)
        throw TStartError(Format(Translated("Cli", "the SFX module %1 cannot be used: %2. Nothing "
                                                   "was written."),
                                 {sfx.Module, IOErrorText(errno)}));
    if (!S_ISREG(st.st_mode))
        throw TStartError(
            Format(Translated("Cli", "the SFX module %1 is not a file. Nothing was written."),
                   {sfx.Module}));
    (void)ops::ReadSfxModuleSize(sfx.Module, sfx.ModuleSize);
    if (const auto problem = ops::SfxModuleProblem(sfx.Module, sfx.ModuleSize))
        throw TStartError(Format(Translated("Cli", "the SFX module %1 cannot be used: %2. Nothing "
                                                   "was written."),
                                 {sfx.Module, *problem}));
    if (tell && o.SfxModule.empty()) {
        const std::string settings = FindLocations(ops::ExecutableDir()).SettingsFile;
        const std::string text =
            ::stat(settings.c_str(), &st) == 0
                ? Translated("Cli", "using the SFX module %1, chosen in %2 (--sfx=linux, "
                                    "--sfx=windows or --sfx=PATH chooses another)")
                : Translated("Cli", "using the shipped SFX module %1, as %2 does not exist "
                                    "(--sfx=windows or --sfx=PATH chooses another)");
        std::fprintf(stderr, "calyxor-cli: %s\n", Format(text, {sfx.Module, settings}).c_str());
    }
    return sfx;
}

// A typed key that gives noise for every file it is to decrypt, and a recognisable file for
// none, is almost surely mistyped: asked for again, up to KeyAttempts in all. Files encrypted
// with different keys are left to their own jobs, which refuse the ones that look wrong.
TSecretBytes RetypeWrongKey(const std::vector<TJob>& jobs, TSecretBytes key) {
    for (int attempt = 1; attempt < KeyAttempts; ++attempt) {
        bool wrong = false;
        bool right = false;
        for (const TJob& job : jobs) {
            if (!job.Problem.empty())
                continue;
            const TKeyVerdict v = ops::JudgeDecryption(job.Source, JudgedName(job), key,
                                                       static_cast<uint64_t>(job.Payload.Start));
            wrong = wrong || v == TKeyVerdict::LooksWrong;
            right = right || v == TKeyVerdict::LooksRight;
        }
        if (!wrong || right)
            break;
        std::fprintf(stderr, "calyxor-cli: %s\n",
                     Translated("Cli", "the key seems to be wrong: the result does not look like "
                                       "a file; type the key again"));
        key = AskCliKey(false);
    }
    return key;
}

int64_t SizeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
}

// wipe -r --remove-dirs: the folders the run emptied, the deepest first. A folder with
// anything left in it (a file that failed, a link that was skipped) stays.
void RemoveEmptiedFolders(const TTree& tree, TConsole& console) {
    for (const std::string& folder : tree.Folders) {
        if (::rmdir(folder.c_str()) != 0 && errno != ENOTEMPTY && errno != EEXIST &&
            errno != EBUSY && errno != EINVAL)
            console.Message(folder, Format(Translated("Cli", "the folder was not removed: %1"),
                                           {IOErrorText(errno)}));
    }
}

std::string Summary(TCliCommand command, std::size_t done, std::size_t skipped,
                    std::size_t failed) {
    const char* text = command == TCliCommand::Encrypt
                           ? Translated("Cli", "files encrypted: %1, skipped: %2, failed: %3")
                       : command == TCliCommand::Decrypt
                           ? Translated("Cli", "files decrypted: %1, skipped: %2, failed: %3")
                           : Translated("Cli", "files wiped: %1, skipped: %2, failed: %3");
    return "calyxor-cli: " +
           Format(text, {std::to_string(done), std::to_string(skipped), std::to_string(failed)});
}

int Run(const TCliOptions& o) {
    if (o.Command == TCliCommand::GenKey) {
        const std::string words = Passphrase(o.Words ? o.Words : DefaultWords);
        std::printf("%s\n", words.c_str());
        return ExitOk;
    }
    if (o.Output == "-" && ::isatty(STDOUT_FILENO))
        throw TUsageError(Translated("Cli", "-o - would write the file's bytes to the terminal; "
                                            "redirect standard output or give a path"));
    const bool terminal = !o.Quiet && ::isatty(STDERR_FILENO);
    BuildPrimeTable();
    const TSfxOptions sfx = ChooseModule(o, terminal);
    // The tree is walked once: what it holds is what the run works on, whatever appears in it
    // meanwhile (the run's own outputs included).
    const TTree tree = FindFiles(o);
    std::vector<std::string> files;
    for (const TTreeEntry& entry : tree.Entries)
        if (entry.Why.empty())
            files.push_back(entry.Path);
    // Planned once before the key is asked for, so that a run with nothing to do asks for
    // none, and again once the key file is known.
    const std::vector<TJob> planned = PlanJobs(o, files, std::nullopt);
    const bool anyToDo = std::any_of(planned.begin(), planned.end(),
                                     [](const TJob& j) { return j.Problem.empty(); });
    TSecretBytes key;
    std::optional<TFileId> keyFile;
    if (o.Command != TCliCommand::Wipe && anyToDo)
        key = ReadCliKey(o, o.Command == TCliCommand::Encrypt, &keyFile);
    const std::vector<TJob> jobs = PlanJobs(o, files, keyFile);
    if (o.Command == TCliCommand::Decrypt && o.KeyCheck && anyToDo && CliKeyIsTyped(o))
        key = RetypeWrongKey(jobs, std::move(key));

    int64_t bytes = 0;
    if (terminal)
        for (const TJob& job : jobs)
            bytes += SizeOf(job.Source);
    TConsole console(terminal, jobs.size(), bytes);
    std::size_t skipped = 0, unreadable = 0;
    for (const TTreeEntry& entry : tree.Entries) {
        if (entry.Why.empty())
            continue;
        console.Message(entry.Path, entry.Why);
        ++(entry.Failed ? unreadable : skipped);
    }
    TRunner runner(o, key, sfx, console);
    std::vector<char> ok(jobs.size(), 0);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++)
            ok[i] = runner.Run(jobs[i]);
    };
    const std::size_t threads = std::min<std::size_t>(o.Jobs ? o.Jobs : CoreCount(), jobs.size());
    if (threads <= 1) {
        work();
    } else {
        std::vector<std::jthread> pool;
        for (std::size_t t = 0; t < threads; ++t)
            pool.emplace_back(work);
    }
    if (o.RemoveDirs)
        RemoveEmptiedFolders(tree, console);
    const auto done = static_cast<std::size_t>(std::count(ok.begin(), ok.end(), char{1}));
    const std::size_t failed = jobs.size() - done + unreadable;
    if (o.Recursive && !o.Quiet)
        console.Print(Summary(o.Command, done, skipped, failed));
    return failed == 0 ? ExitOk : ExitFailed;
}

} // namespace

int main(int argc, char** argv) {
    // Before anything else, as the key will be in this process's memory.
    ForbidCoreDumps();
    UseTextLanguage(SystemLanguageIsRussian());
    TCliOptions options;
    try {
        options = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
        if (options.Help) {
            std::fputs(CliUsageText(), stdout);
            return ExitOk;
        }
        if (options.Version) {
            std::printf("calyxor-cli %s\n", CALYXOR_VERSION);
            return ExitOk;
        }
        return Run(options);
    } catch (const TUsageError& e) {
        std::fprintf(stderr, "calyxor-cli: %s\n%s\n", e.what(),
                     Translated("Cli", "Try 'calyxor-cli --help'."));
        return ExitUsage;
    } catch (const TStartError& e) {
        std::fprintf(stderr, "calyxor-cli: %s\n", e.what());
        return ExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "calyxor-cli: %s\n", Said(e).c_str());
        return ExitFailed;
    }
}
