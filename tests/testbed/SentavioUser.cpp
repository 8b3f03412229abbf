// sentavio-user.exe <yes|no|cancel|ok|person> [tick] [restart] [screenshot=FILE.bmp]
//                   [run=COMMAND LINE]
// Runs Sentavio.exe (the built one, or the command line given with run=, an
// installed one, say) and answers it as a user would: the prompt with the
// given choice (ok: Enter on the check box), ticking the check box first
// with "tick"; the restart question with Yes when "restart" is given, else
// No; error boxes with OK. With "person" it only watches while a person at
// the display answers. Prints each window it saw and, once the program has
// ended, whether it left a restart of Windows under way.
#include <cstdio>
#include <string>

#include "res/resource.h"
#include "tests/testbed/User.h"

int main(int argc, char** argv)
{
    user::Answers answers;
    answers.person = argc >= 2 && std::string(argv[1]) == "person";
    if (argc < 2 || (!answers.person && !user::ParseChoice(argv[1], answers.choice))) {
        std::fprintf(stderr, "usage: sentavio-user yes|no|cancel|ok|person [tick] [restart] [screenshot=FILE.bmp] "
                             "[run=COMMAND LINE]\n");
        return 2;
    }
    user::RunOptions options;
    options.timeoutMs = answers.person ? 600000 : 20000;
    for (int i = 2; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "tick")
            answers.tick = true;
        else if (word == "restart")
            answers.restart = true;
        else if (word.rfind("screenshot=", 0) == 0)
            answers.screenshot = word.substr(11);
        else if (word.rfind("run=", 0) == 0)
            options.commandLine = word.substr(4);
        else {
            std::fprintf(stderr, "unknown word: %s\n", word.c_str());
            return 2;
        }
    }

    options.onSeen = [](const user::Seen& seen) {
        std::printf("%s: \"%s\"", user::KindName(seen.kind), seen.window.caption.c_str());
        const robot::Control* message = seen.window.Find(IDC_MESSAGE);
        const std::string text = message != nullptr ? message->text : seen.text;
        if (!text.empty())
            std::printf(": %s", text.c_str());
        std::printf("\n");
        std::fflush(stdout);
    };
    const user::Session session = user::RunSentavio(answers, options);
    if (!session.started) {
        std::fprintf(stderr, "Sentavio.exe did not start: error %lu\n", static_cast<unsigned long>(session.startError));
        return 1;
    }
    if (session.windows.empty())
        std::printf("no window: Sentavio.exe ended silently\n");
    if (session.ended)
        std::printf("restart: %s\n", session.leftRunning != 0 ? "under way" : "none");
    std::fflush(stdout);
    return session.ended ? 0 : 1;
}
