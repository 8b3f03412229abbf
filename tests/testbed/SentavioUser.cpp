// sentavio-user.exe <yes|no|cancel|ok|person> [tick] [restart] [screenshot=FILE.bmp] [run=COMMAND LINE]
// Runs Sentavio.exe (the built one, or the command line given with run=, an installed one, say) and
// answers it as a user would: the prompt with the given choice (ok: Enter on the check box), ticking
// the check box first with "tick"; the restart question with Yes when "restart" is given, else No;
// error boxes with OK. With "person" it only watches while a person at the display answers. Prints
// each window it saw, whole, as it first showed, and, once the program has ended, whether it left a
// restart of Windows under way.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/testbed/User.h"

namespace {

// The window as a person reads it, each line indented: its texts, its check
// box with its state, its buttons from left to right.
void PrintWindow(const user::Seen& seen)
{
    std::string text = seen.text;
    const robot::Control* message = seen.window.Find(IDC_MESSAGE);
    const robot::Control* question = seen.window.Find(IDC_QUESTION);
    if (message != nullptr && question != nullptr)
        text = message->text + "\n" + question->text;
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    for (size_t start = 0; !text.empty() && start <= text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::printf("    %s\n", text.substr(start, end - start).c_str());
        start = end + 1;
    }
    std::vector<robot::Control> buttons;
    for (const robot::Control& c : seen.window.controls) {
        if (lstrcmpiA(c.className.c_str(), "Button") != 0 || !(c.style & WS_VISIBLE))
            continue;
        const DWORD type = c.style & BS_TYPEMASK;
        if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX)
            std::printf("    [%s] %s\n", SendMessageA(c.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? "x" : " ",
                        c.text.c_str());
        else
            buttons.push_back(c);
    }
    std::sort(buttons.begin(), buttons.end(),
              [](const robot::Control& a, const robot::Control& b) { return a.rect.left < b.rect.left; });
    std::string row;
    for (const robot::Control& b : buttons) {
        std::string label = b.text;
        label.erase(std::remove(label.begin(), label.end(), '&'), label.end());
        row += (row.empty() ? "" : "  ") + ("[" + label + "]");
    }
    if (!row.empty())
        std::printf("    %s\n", row.c_str());
}

}  // namespace

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
        std::printf("%s: \"%s\"\n", user::KindName(seen.kind), seen.window.caption.c_str());
        PrintWindow(seen);
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
