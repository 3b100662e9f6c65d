// RunHostProcess: the built executable on POSIX systems, in-process under
// Windows (where the tests run through Wine).
#include "tests/host/host_test_support.h"

#if !defined(_WIN32)
#include "tests/host/process_support.h"
#endif

namespace host_test {

RunResult RunHostProcess(const std::vector<std::string>& args, const std::string& input,
                         const std::string& workingDir) {
#if defined(_WIN32)
    (void)input;
    (void)workingDir;
    return RunCli(args);
#else
    ProcessOptions options;
    options.input = input;
    options.workingDir = workingDir;
    const ProcessResult r = RunProcess(VELMOR_HOST_PATH, args, options);
    return {r.status, r.out, r.err};
#endif
}

}  // namespace host_test
