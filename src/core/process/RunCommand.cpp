#include "process/RunCommand.h"

#include <unistd.h>

#include "base/Diagnostics.h"
#include "process/ChildProcess.h"

namespace quill {
namespace {

constexpr size_t kChunk = 1024;

// Starts one program of a pipeline with `in` (a descriptor, kPipeStream or
// kInheritStream) as its input; a program that cannot be run ends with 127.
LaunchedChild start(ProcessLauncher& launcher, RunCommand::Argv argv, int in, bool pipeOut) {
    LaunchRequest request;
    request.failureLabel = argv.empty() ? "" : argv[0];
    request.argv = std::move(argv);
    request.stdio[0] = in;
    request.stdio[1] = pipeOut ? kPipeStream : kInheritStream;
    LaunchedChild child = launcher.launch(request);
    if (!child.started()) reportSystemError("fork");
    return child;
}

InputPuller pullFrom(std::istream& input) {
    return [&input](char* buffer, size_t size) -> size_t {
        if (!input) return 0;
        input.read(buffer, static_cast<std::streamsize>(size));
        return static_cast<size_t>(input.gcount());
    };
}

InputPuller pullFrom(ByteSource& input) {
    return [&input](char* buffer, size_t size) {
        size_t n = input.remaining().copy(buffer, size);
        input.seek(input.position() + n);
        return n;
    };
}

OutputPusher pushTo(std::ostream& output) {
    return [&output](const char* bytes, size_t size) {
        output.write(bytes, static_cast<std::streamsize>(size));
    };
}

OutputPusher pushTo(ByteSink& output) {
    return [&output](const char* bytes, size_t size) { output.write({bytes, size}); };
}

void pump(UniqueFd feed, const InputPuller* input, UniqueFd drain, const OutputPusher* output) {
    static const InputPuller kNothing = [](char*, size_t) -> size_t { return 0; };
    static const OutputPusher kNowhere = [](const char*, size_t) {};
    const char* failed = nullptr;
    if (!feedAndDrain(std::move(feed), input ? *input : kNothing, std::move(drain),
                      output ? *output : kNowhere, kChunk, &failed)) {
        reportSystemError(failed);
    }
}

// The pipeline, fed by `input` and drained by `output` when they are given.
int pipeline(ProcessLauncher& launcher, const std::vector<RunCommand::Argv>& commands,
             const InputPuller* input, const OutputPusher* output) {
    if (commands.empty()) return 0;
    UniqueFd nextIn, feed;
    std::vector<pid_t> pids;
    int result = 0;
    for (size_t i = 0; i < commands.size(); ++i) {
        bool toUs = i + 1 == commands.size() && !output;
        bool fedByUs = i == 0 && input;
        LaunchedChild child =
            start(launcher, commands[i], fedByUs ? kPipeStream : nextIn.get(), !toUs);
        if (!child.started()) {
            result = -1;
            break;
        }
        if (fedByUs) feed = std::move(child.input);
        pids.push_back(child.pid);
        nextIn = std::move(child.output);  // our copy of the previous child's output closes here
    }
    if (result == 0) pump(std::move(feed), input, output ? std::move(nextIn) : UniqueFd(), output);
    feed.reset();
    nextIn.reset();

    for (pid_t pid : pids) {
        int status = launcher.wait(pid);
        if (status < 0) {
            reportSystemError(formatString("waitpid(%d)", static_cast<int>(pid)));
            continue;
        }
        int code = (status >> 8) & 0xff;
        if (result == 0) result = code;
    }
    return result;
}

// One command through the shell, fed or drained (never both).
int shellCommand(ProcessLauncher& launcher, const std::string& command, const InputPuller* input,
                 const OutputPusher* output) {
    if (input && output) {
        logError("RunCommand",
                 "Internal Error: Simultaneous input and output is not yet supported.");
        return -1;
    }
    LaunchRequest request;
    request.argv = {"/bin/sh", "-c", command};
    request.failureLabel = "/bin/sh";
    request.stdio[output ? 1 : 0] = kPipeStream;
    LaunchedChild child = launcher.launch(request);
    if (!child.started()) {
        reportSystemError(command);
        return -1;
    }
    if (output) {
        pump(UniqueFd(), nullptr, std::move(child.output), output);
    } else {
        pump(std::move(child.input), input, UniqueFd(), nullptr);
    }
    return launcher.wait(child.pid);
}

}  // namespace

int RunCommand::runPipe(const std::vector<Argv>& commands, std::istream* input,
                        std::ostream* output) {
    InputPuller in = input ? pullFrom(*input) : InputPuller();
    OutputPusher out = output ? pushTo(*output) : OutputPusher();
    return pipeline(m_launcher, commands, input ? &in : nullptr, output ? &out : nullptr);
}

int RunCommand::runPipe(const std::vector<Argv>& commands, ByteSource& input, ByteSink& output) {
    InputPuller in = pullFrom(input);
    OutputPusher out = pushTo(output);
    return pipeline(m_launcher, commands, &in, &out);
}

int RunCommand::runPipeWithInputFrom(const std::vector<Argv>& commands, ByteSource& input) {
    InputPuller in = pullFrom(input);
    return pipeline(m_launcher, commands, &in, nullptr);
}

int RunCommand::runPipeWithOutputTo(const std::vector<Argv>& commands, ByteSink& output) {
    OutputPusher out = pushTo(output);
    return pipeline(m_launcher, commands, nullptr, &out);
}

int RunCommand::run(const std::string& command, std::istream* input, std::ostream* output) {
    InputPuller in = input ? pullFrom(*input) : InputPuller();
    OutputPusher out = output ? pushTo(*output) : OutputPusher();
    return shellCommand(m_launcher, command, input ? &in : nullptr, output ? &out : nullptr);
}

int RunCommand::runWithInputFrom(const std::string& command, ByteSource& input) {
    InputPuller in = pullFrom(input);
    return shellCommand(m_launcher, command, &in, nullptr);
}

int RunCommand::runWithOutputTo(const std::string& command, ByteSink& output) {
    OutputPusher out = pushTo(output);
    return shellCommand(m_launcher, command, nullptr, &out);
}

std::string shellQuote(std::string_view value) {
    std::string quoted = "'";
    for (char c : value) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string unmanglefilename(const std::string& name) {
    std::string mark = formatString("-%d-", static_cast<int>(::getpid()));
    size_t at = name.find(mark);
    if (at == std::string::npos) return name;
    size_t rest = at + mark.size();
    while (rest < name.size() && name[rest] >= '0' && name[rest] <= '9') ++rest;
    return name.substr(0, at) + name.substr(rest);
}

}  // namespace quill
