// varno select: one picture or a batch of them through the plug-in, as a host runs it.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <new>

#include "cli/batch.h"
#include "cli/interrupt.h"
#include "cli/remembered.h"
#include "cli/streams.h"
#include "cli/varno.h"
#include "host/actions.h"
#include "images/images.h"
#include "host/messages.h"
#include "host/platform.h"
#include "host/run.h"
#include "params/edge_table.h"

namespace varno {

namespace {

namespace fs = std::filesystem;

constexpr int32_t kMostJobs = 64;

struct SelectCommand {
    std::vector<std::string> inputs;
    std::string output, selectionPath, playPath, recordPath, threads;
    int32_t method = 0, radius = 0, jobs = 1;
    SelectionCombine combine = SelectionCombine::kReplace;
    bool dialog = false, quiet = false;
    EncodeOptions encoding;
    PictureType format = PictureType::kNone;  // of -o -
};

// One picture of the command: where it goes and, while in progress, its document.
struct PictureJob {
    std::string input, output;
    std::string refusal;  // why the picture is not even read, when it is not (its line after "varno: ")
    Document document;
    RunFiles::Entry* run = nullptr;  // the plug-in's files around its run
};

bool StopAsked(void) { return StopFlag()->load() != 0; }

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

// -o names a directory: one that exists, or any name ending in a separator ("-" is standard output).
bool IntoDirectory(const std::string& output) {
    std::error_code error;
    return EndsWithSeparator(output) || (!IsStandardStream(output) && fs::is_directory(output, error));
}

int ParseSelect(const std::vector<std::string>& args, SelectCommand* command) {
    bool options = true;  // until "--": every argument after it is a picture
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        if (!options || arg.empty() || arg[0] != '-' || IsStandardStream(arg)) {
            command->inputs.push_back(arg);
        } else if (arg == "--") {
            options = false;
        } else if (arg == "-o") {
            if (!TakeValue(args, &i, &command->output)) return UsageError("-o needs a file or directory name");
        } else if (const int taken = TakeMethodOrRadius(args, &i, &command->method, &command->radius); taken == 2) {
            return taken;
        } else if (taken == 1) {
            continue;
        } else if (const int format = TakeFormat(args, &i, &command->format); format != 0) {
            if (format == 2) return format;
        } else if (arg == "-j") {
            char* end = nullptr;
            const long jobs = TakeValue(args, &i, &value) ? std::strtol(value.c_str(), &end, 10) : 0;
            if (value.empty() || *end != 0 || jobs < 1 || jobs > kMostJobs)
                return UsageError("-j takes a number of pictures at once, 1.." + std::to_string(kMostJobs));
            command->jobs = int32_t(jobs);
        } else if (arg == "--selection") {
            if (!TakeValue(args, &i, &command->selectionPath)) return UsageError("--selection needs a file name");
        } else if (arg == "--play") {
            if (!TakeValue(args, &i, &command->playPath)) return UsageError("--play needs a file name");
        } else if (arg == "--record") {
            if (!TakeValue(args, &i, &command->recordPath)) return UsageError("--record needs a file name");
        } else if (arg == "--combine") {
            if (!TakeValue(args, &i, &value) || !SelectionCombineFromText(value.c_str(), &command->combine)) {
                std::vector<std::string> modes(std::begin(kSelectionCombineNames), std::end(kSelectionCombineNames));
                return UsageError("--combine takes " + Alternatives(modes) + (value.empty() ? "" : ", not '" + value + "'"));
            }
        } else if (arg == "--threads") {
            if (!TakeValue(args, &i, &command->threads) || command->threads.empty())
                return UsageError("--threads takes a number of threads");
        } else if (arg == "--dialog") {
            command->dialog = true;
        } else if (arg == "--smaller-png") {
            command->encoding.smaller = true;
        } else if (arg == "--quiet") {
            command->quiet = true;
        } else {
            return UnknownWord("option", arg, {"-o", "-m", "-r", "-j", "--selection", "--combine", "--dialog", "--play", "--record",
                                               "--format", "--threads", "--smaller-png", "--quiet", "--help"});
        }
    }
    const size_t count = command->inputs.size();
    if (!command->playPath.empty() && (command->method != 0 || command->radius != 0))
        return UsageError("--play cannot go with -m or -r: the action holds the method and the radius");
    if (count == 0) return UsageError("select needs an input picture");
    if (const int status = CheckStreamUse(command->inputs, command->output, command->format); status != 0) return status;
    if (count > 1 && !command->selectionPath.empty()) return UsageError("--selection takes one input picture");
    if (count > 1 && !command->recordPath.empty()) return UsageError("--record takes one input picture");
    if (count > 1 && !command->output.empty() && !IntoDirectory(command->output))
        return UsageError("several pictures need -o DIRECTORY/");
    return 0;
}


// IN's name without its directory and extension.
std::string Stem(const std::string& input) {
    const size_t slash = input.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? input : input.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// IN's path with "-selection.png" in place of its extension.
std::string BesideInput(const std::string& input) {
    const size_t slash = input.find_last_of("/\\");
    const std::string directory = slash == std::string::npos ? std::string() : input.substr(0, slash + 1);
    return directory + Stem(input) + "-selection.png";
}

// Where each picture goes, checked before anything runs. A batch refuses, one by one, the
// pictures whose selections would replace a file the command reads or another picture's
// selection; one picture refuses the command for that and for whatever else would stop its
// outputs being written, so that a refusal leaves the preferences, the log and every file as they
// were.
std::string PlanOutputs(const SelectCommand& command, std::vector<PictureJob>* jobs) {
    const bool batch = command.inputs.size() > 1;
    const bool intoDirectory = !command.output.empty() && IntoDirectory(command.output);
    // The files the command names: what it reads, then what it writes.
    // Standard input and output ("-", never in a batch) are no file another name could reach.
    std::vector<NamedFile> files;
    for (const std::string& input : command.inputs)
        if (!IsStandardStream(input)) files.push_back({input, false, "the input picture"});
    if (!command.selectionPath.empty()) files.push_back({command.selectionPath, false, "the current selection"});
    if (!command.playPath.empty()) files.push_back({command.playPath, false, "the played action"});
    const size_t firstOutput = files.size();
    for (const std::string& input : command.inputs) {
        PictureJob job;
        job.input = input;
        if (command.output.empty()) {
            job.output = BesideInput(input);
        } else if (intoDirectory) {
            job.output = command.output + (EndsWithSeparator(command.output) ? "" : "/") + Stem(input) + "-selection.png";
        } else {
            job.output = command.output;
        }
        if (!IsStandardStream(job.output)) files.push_back({job.output, true, "the output", true});
        jobs->push_back(std::move(job));
    }
    if (!command.recordPath.empty()) files.push_back({command.recordPath, true, "the recorded action"});
    if (!batch) {
        if (std::string refusal = SameFileRefusal(files); !refusal.empty()) return refusal;
    } else {
        const std::vector<ptrdiff_t> same = SameFiles(files);
        for (size_t i = 0; i < jobs->size(); ++i) {
            PictureJob& job = (*jobs)[i];
            const ptrdiff_t other = same[firstOutput + i];
            if (other < 0) continue;
            const NamedFile& earlier = files[size_t(other)];
            const std::string its = "'" + job.input + "': its selection '" + job.output + "' ";
            if (size_t(other) < command.inputs.size())
                job.refusal = its + "would replace the picture '" + earlier.path + "'";
            else if (size_t(other) < firstOutput)
                job.refusal = its + "would replace " + earlier.role + " '" + earlier.path + "'";
            else if (const std::string& twin = (*jobs)[size_t(other) - firstOutput].input;
                     FileIdentity(twin) == FileIdentity(job.input))
                job.refusal = "'" + job.input + "': given twice";
            else
                job.refusal = its + "is the selection of '" + twin + "' too";
        }
    }
    if (intoDirectory) {
        std::error_code error;
        fs::create_directories(command.output, error);
        if (error) return "cannot create '" + command.output + "': " + error.message();
    }
    if (!batch) {
        const std::string refusal = StandardOutputRefusal(command.output);
        return refusal.empty() ? OutputRefusal(files) : refusal;
    }
    for (PictureJob& job : *jobs)
        if (std::string error = job.refusal.empty() ? CheckOutputPath(job.output) : std::string(); !error.empty())
            job.refusal = "cannot write '" + job.output + "': " + error;
    return {};
}

// The selection picture as one 8-bit plane; grey pictures only (an RGB picture whose three
// channels agree counts as grey).
std::string SelectionPlane(const Document& picture, const Document& document, std::vector<uint8_t>* plane) {
    if (picture.width != document.width || picture.height != document.height)
        return "it is " + std::to_string(picture.width) + "x" + std::to_string(picture.height) + ", the picture " +
               std::to_string(document.width) + "x" + std::to_string(document.height);
    const bool rgb = picture.mode == 3 || picture.mode == 11;
    if (picture.mode != 1 && picture.mode != 10 && !rgb) return "a selection must be a grey picture";
    const bool differ = rgb && (picture.depth == 16 ? picture.channels16[0] != picture.channels16[1] ||
                                                          picture.channels16[0] != picture.channels16[2]
                                                    : picture.channels8[0] != picture.channels8[1] ||
                                                          picture.channels8[0] != picture.channels8[2]);
    if (differ) return "a selection must be a grey picture";
    if (picture.depth == 8) {
        *plane = picture.channels8[0];
        return {};
    }
    const std::vector<uint16_t>& source = picture.channels16[0];
    plane->resize(source.size());
    for (size_t i = 0; i < source.size(); ++i) (*plane)[i] = ReduceTo8(source[i]);
    return {};
}

// Why the played action's method or radius is none the plug-in has (an integer key read as the
// plug-in reads it: a real loses its fraction); empty when both are in the table or left out.
std::string PlayedValueRefusal(const Descriptor& descriptor) {
    const struct {
        uint32_t key;
        const char* what;
        int32_t low, high;
    } values[] = {{FourCC("EdgM"), "method", kEdgeMethodFirst, kEdgeMethodLast},
                  {FourCC("edgR"), "radius", kEdgeRadiusMin, kEdgeRadiusMax}};
    for (const auto& value : values) {
        const DescriptorItem* item = descriptor.Find(value.key);
        const bool real = item && (item->type == kDescFloat || item->type == kDescUnitFloat);
        if (!item || (!real && item->type != kDescInteger && item->type != kDescEnumerated)) continue;
        if (real ? item->real >= value.low && item->real < value.high + 1 : item->integer >= value.low && item->integer <= value.high)
            continue;
        char shown[32];
        if (real) std::snprintf(shown, sizeof shown, "%g", item->real);
        else std::snprintf(shown, sizeof shown, "%lld", static_cast<long long>(item->integer));
        return std::string("its ") + value.what + " " + shown + " is not one of " + std::to_string(value.low) + ".." +
               std::to_string(value.high);
    }
    return {};
}

// The action the plug-in is to play back, or none (its remembered settings apply); a lone method
// or radius is completed before each run. 0 on success, else the exit status after the line: 1
// for an action that cannot be read, 2 for one holding a value the plug-in does not have.
int PlayedAction(const SelectCommand& command, RunOptions* options) {
    if (!command.playPath.empty()) {
        std::vector<uint8_t> bytes;
        std::string error = ReadWholeFile(command.playPath, &bytes);
        if (error.empty()) error = ParseAction(std::string(bytes.begin(), bytes.end()), &options->descriptor);
        if (!error.empty()) return Failure("cannot play '" + command.playPath + "': " + error);
        if (error = PlayedValueRefusal(options->descriptor); !error.empty())
            return UsageError("cannot play '" + command.playPath + "': " + error);
        options->playDescriptor = true;
    }
    if (command.method != 0 || command.radius != 0) {
        PutEdgeChoice(&options->descriptor, command.method, command.radius);
        options->playDescriptor = true;
    }
    return 0;
}

}  // namespace

int Select(const std::vector<std::string>& args) {
    SelectCommand command;
    if (const int status = ParseSelect(args, &command); status != 0) return status;
    if (std::string error = SetThreadCount(command.threads); !error.empty()) return UsageError(error);
    RunOptions options;
    if (const int status = PlayedAction(command, &options); status != 0) return status;
    std::vector<PictureJob> jobs;
    if (std::string error = PlanOutputs(command, &jobs); !error.empty()) return Failure(error);
    const bool batch = jobs.size() > 1;

    options.combine = command.combine;
    options.playInfo = command.dialog ? kPlayDialogDisplay : kPlayDialogDontDisplay;
    options.interrupt = StopFlag();
    options.progressBar = !command.quiet && StderrIsTerminal();

    PluginModule module;
    if (std::string error = OpenPluginModule(DefaultPluginPath(), &module); !error.empty())
        return Failure("cannot load the plug-in: " + error);
    if (!module.warning.empty()) PrintLine(stderr, "varno: warning: " + module.warning);
    // The slot a host keeps for the plug-in for as long as it runs: the plug-in's block in it is
    // the plug-in's to keep, never the host's to free.
    static PluginInstance plugin;
    plugin.entry = reinterpret_cast<PluginEntryProc>(module.entry);
    plugin.pipl = module.pipl;

    std::mutex lock;
    size_t failed = 0;
    std::atomic<bool> radiusWarned{false};
    RunReport recorded;
    // A picture that fails after its run takes back what the run did to the preferences and log.
    RunFiles runFiles;
    SetStopCleanup([&runFiles](bool runHeld) { runFiles.EndOfProgram(runHeld); });
    auto fail = [&](const std::string& line, RunFiles::Entry** run = nullptr) {
        PrintLine(stderr, line);
        if (run) runFiles.Failed(*run);
        std::lock_guard<std::mutex> guard(lock);
        ++failed;
        return false;
    };
    BatchSteps steps;
    steps.prepare = [&](size_t i) {
        PictureJob& job = jobs[i];
        if (!job.refusal.empty()) return fail("varno: " + job.refusal);
        std::vector<std::string> warnings;
        if (std::string error = ReadPicture(job.input, &job.document, &warnings); !error.empty())
            return fail("varno: cannot read " + PlaceName(job.input, false) + ": " + error);
        for (const std::string& warning : warnings)
            PrintLine(stderr, "varno: warning: " + PlaceName(job.input, false) + ": " + warning);
        if (command.selectionPath.empty()) return true;
        Document picture;
        std::vector<uint8_t> plane;
        std::string error = ReadImageFile(command.selectionPath, &picture);
        if (error.empty()) error = SelectionPlane(picture, job.document, &plane);
        if (error.empty()) SetSelection(&job.document, std::move(plane), &error);
        if (!error.empty()) return fail("varno: cannot use selection '" + command.selectionPath + "': " + error);
        return true;
    };
    steps.run = [&](size_t i) {
        PictureJob& job = jobs[i];
        SetProgressLabel(batch ? "file " + std::to_string(i + 1) + "/" + std::to_string(jobs.size()) + " " : "");
        // The host takes the preferences file as the plug-in will (and waits for it as long):
        // held by another program, the plug-in runs with the defaults, and varno says so.
        job.run = runFiles.Before(StopAsked);
        RunOptions played = options;
        played.barFrom = double(i) / double(jobs.size());
        played.barTo = double(i + 1) / double(jobs.size());
        if (played.playDescriptor) CompleteEdgeChoice(&played.descriptor, job.run->notes.choice);
        // Once for the command: the method a lone -r went with is known only now.
        if (const DescriptorItem* method = played.descriptor.Find(FourCC("EdgM")); method && !radiusWarned.exchange(true))
            if (std::string warning = RadiusWarning(int32_t(method->integer), command.radius); !warning.empty())
                PrintLine(stderr, warning);
        if (!EnterPluginRun()) {
            runFiles.Failed(job.run);
            return false;
        }
        RunReport report;
        try {
            RunPlugin(&plugin, &job.document, played, &report);
            if (report.aboutResult == 0 && report.result == 0) runFiles.Ran(job.run);
        } catch (const std::bad_alloc&) {
            LeavePluginRun();
            runFiles.Failed(job.run);
            throw;
        }
        LeavePluginRun();
        // Only the selection is written from here on.
        std::vector<std::vector<uint8_t>>().swap(job.document.channels8);
        std::vector<std::vector<uint16_t>>().swap(job.document.channels16);
        const int16_t code = report.aboutResult != 0 ? report.aboutResult : report.result;
        if (code != 0) {
            const std::string line = ResultLine(code, report.aboutResult != 0 ? std::string() : report.errorString);
            return fail(batch ? "varno: '" + job.input + "': " + line.substr(7) : line, &job.run);
        }
        if (job.run->notes.busy)
            PrintLine(stderr, "varno: warning: " + (batch ? "'" + job.input + "': " : std::string()) + kDefaultsUsedWarning);
        if (!batch) recorded = std::move(report);
        return true;
    };
    steps.finish = [&](size_t i) {
        PictureJob& job = jobs[i];
        const Document& document = job.document;
        const std::string error = WritePicture(job.output, command.format, document.width, document.height, 1,
                                               document.selection.data(), command.encoding);
        job.document = Document();
        if (!error.empty()) {
            fail("varno: cannot write " + PlaceName(job.output, true) + ": " + error, &job.run);
            return;
        }
        if (!command.recordPath.empty()) {
            if (!recorded.recorded) {
                fail("varno: the plug-in recorded no action; '" + command.recordPath + "' not written", &job.run);
                return;
            }
            const std::string text = FormatAction(recorded.descriptor);
            if (std::string failure = WriteFileAtomically(command.recordPath, std::vector<uint8_t>(text.begin(), text.end()));
                !failure.empty()) {
                fail("varno: cannot write '" + command.recordPath + "': " + failure, &job.run);
                return;
            }
        }
        runFiles.Succeeded(job.run);
        if (!command.quiet && !IsStandardStream(job.output))
            PrintLine(stdout, "varno: new selection written to " + job.output);
    };
    // Running out of memory ends one picture, never the batch or the process.
    BatchSteps guarded;
    auto outOfMemory = [&](size_t i) { return fail("varno: " + PlaceName(jobs[i].input, false) + ": out of memory"); };
    guarded.prepare = [&](size_t i) {
        try {
            return steps.prepare(i);
        } catch (const std::bad_alloc&) {
            jobs[i].document = Document();
            return fail("varno: cannot read " + PlaceName(jobs[i].input, false) + ": out of memory");
        }
    };
    guarded.run = [&](size_t i) {
        try {
            return steps.run(i);
        } catch (const std::bad_alloc&) {
            jobs[i].document = Document();
            if (jobs[i].run) runFiles.Failed(jobs[i].run);
            return outOfMemory(i);
        }
    };
    guarded.finish = [&](size_t i) {
        try {
            steps.finish(i);
        } catch (const std::bad_alloc&) {
            jobs[i].document = Document();
            if (jobs[i].run) runFiles.Failed(jobs[i].run);
            outOfMemory(i);
        }
    };
    RunBatch(jobs.size(), command.jobs, guarded);
    SetStopCleanup(nullptr);
    ClosePluginModule(&module);
    if (batch && failed > 0)
        PrintLine(stderr, "varno: " + std::to_string(failed) + " of " + std::to_string(jobs.size()) + " pictures failed");
    return failed > 0 ? 1 : 0;
}

}  // namespace varno
