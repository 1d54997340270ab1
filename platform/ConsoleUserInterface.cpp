#include "platform/ConsoleUserInterface.h"

#include <istream>
#include <ostream>
#include <string_view>

namespace tessaro {
namespace {

std::string_view KindPrefix(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning:
        return "warning: ";
    case MessageKind::Error:
        return "error: ";
    case MessageKind::Information:
        break;
    }
    return "";
}

} // namespace

CConsoleUserInterface::CConsoleUserInterface(std::ostream& err, AnswerPolicy policy, std::istream* input)
    : Err_(err), Policy_(policy), Input_(input)
{
}

void CConsoleUserInterface::QueueFileAnswer(std::string path)
{
    std::scoped_lock lock(Mutex_);
    FileAnswers_.push_back(std::move(path));
}

void CConsoleUserInterface::ShowMessage(const std::string& text, MessageKind kind)
{
    std::scoped_lock lock(Mutex_);
    if (Quiet_ && kind != MessageKind::Error)
        return;
    Err_ << KindPrefix(kind) << text << '\n' << std::flush;
}

bool CConsoleUserInterface::AskYesNo(const std::string& text)
{
    std::scoped_lock lock(Mutex_);
    if (Policy_ == AnswerPolicy::Ask && Input_ != nullptr) {
        Err_ << text << " [y/N] " << std::flush;
        std::string reply;
        if (std::getline(*Input_, reply) && !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y'))
            return true;
        return false;
    }
    const bool yes = Policy_ == AnswerPolicy::AlwaysYes;
    if (!Quiet_)
        Err_ << text << (yes ? " Yes (--yes)" : " No (answer with --yes to accept)") << '\n' << std::flush;
    return yes;
}

std::optional<std::string> CConsoleUserInterface::NextFileAnswer()
{
    std::scoped_lock lock(Mutex_);
    if (FileAnswers_.empty())
        return std::nullopt;
    std::string path = std::move(FileAnswers_.front());
    FileAnswers_.pop_front();
    return path;
}

std::optional<std::string> CConsoleUserInterface::ChooseFileToOpen(const FileChooserOptions&)
{
    return NextFileAnswer();
}

std::optional<std::string> CConsoleUserInterface::ChooseFileToSave(const FileChooserOptions&)
{
    return NextFileAnswer();
}

} // namespace tessaro
