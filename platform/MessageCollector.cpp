#include "platform/MessageCollector.h"

#include <utility>

namespace tessaro {

std::vector<UserMessage> CMessageCollector::Messages() const
{
    std::scoped_lock lock(Mutex_);
    return Messages_;
}

std::vector<UserMessage> CMessageCollector::Take()
{
    std::scoped_lock lock(Mutex_);
    return std::exchange(Messages_, {});
}

std::vector<std::string> CMessageCollector::Questions() const
{
    std::scoped_lock lock(Mutex_);
    return Questions_;
}

void CMessageCollector::ShowMessage(const std::string& text, MessageKind kind)
{
    std::scoped_lock lock(Mutex_);
    Messages_.push_back({kind, text});
}

bool CMessageCollector::AskYesNo(const std::string& text)
{
    std::scoped_lock lock(Mutex_);
    Questions_.push_back(text);
    return Answer_;
}

void ShowMessages(const std::vector<UserMessage>& messages)
{
    for (const UserMessage& message : messages)
        ShowMessage(message.Text, message.Kind);
}

} // namespace tessaro
