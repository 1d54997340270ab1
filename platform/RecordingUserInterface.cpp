#include "platform/RecordingUserInterface.h"

namespace tessaro {
namespace {

CRecordingUserInterface::EntryKind ToEntryKind(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning:
        return CRecordingUserInterface::EntryKind::Warning;
    case MessageKind::Error:
        return CRecordingUserInterface::EntryKind::Error;
    case MessageKind::Information:
        break;
    }
    return CRecordingUserInterface::EntryKind::Information;
}

bool IsMessage(CRecordingUserInterface::EntryKind kind)
{
    using K = CRecordingUserInterface::EntryKind;
    return kind == K::Information || kind == K::Warning || kind == K::Error;
}

} // namespace

void CRecordingUserInterface::QueueAnswer(bool yes)
{
    std::scoped_lock lock(Mutex_);
    Answers_.push_back(yes);
}

void CRecordingUserInterface::QueueFileAnswer(std::optional<std::string> path)
{
    std::scoped_lock lock(Mutex_);
    FileAnswers_.push_back(std::move(path));
}

std::vector<CRecordingUserInterface::Entry> CRecordingUserInterface::Entries() const
{
    std::scoped_lock lock(Mutex_);
    return Entries_;
}

std::vector<std::string> CRecordingUserInterface::Messages() const
{
    std::scoped_lock lock(Mutex_);
    std::vector<std::string> texts;
    for (const Entry& e : Entries_)
        if (IsMessage(e.Kind))
            texts.push_back(e.Text);
    return texts;
}

std::vector<std::string> CRecordingUserInterface::Questions() const
{
    std::scoped_lock lock(Mutex_);
    std::vector<std::string> texts;
    for (const Entry& e : Entries_)
        if (e.Kind == EntryKind::Question)
            texts.push_back(e.Text);
    return texts;
}

int CRecordingUserInterface::WaitDepth() const
{
    std::scoped_lock lock(Mutex_);
    return WaitDepth_;
}

int CRecordingUserInterface::WaitCount() const
{
    std::scoped_lock lock(Mutex_);
    return WaitCount_;
}

int CRecordingUserInterface::RefreshCount() const
{
    std::scoped_lock lock(Mutex_);
    return RefreshCount_;
}

void CRecordingUserInterface::ClearEntries()
{
    std::scoped_lock lock(Mutex_);
    Entries_.clear();
}

void CRecordingUserInterface::ShowMessage(const std::string& text, MessageKind kind)
{
    std::scoped_lock lock(Mutex_);
    Entries_.push_back({ToEntryKind(kind), text});
}

bool CRecordingUserInterface::AskYesNo(const std::string& text)
{
    std::scoped_lock lock(Mutex_);
    Entries_.push_back({EntryKind::Question, text});
    if (Answers_.empty())
        return false;
    const bool yes = Answers_.front();
    Answers_.pop_front();
    return yes;
}

std::optional<std::string> CRecordingUserInterface::NextFileAnswer(EntryKind kind, const FileChooserOptions& options)
{
    std::scoped_lock lock(Mutex_);
    Entries_.push_back({kind, options.Filter});
    if (FileAnswers_.empty())
        return std::nullopt;
    std::optional<std::string> path = std::move(FileAnswers_.front());
    FileAnswers_.pop_front();
    return path;
}

std::optional<std::string> CRecordingUserInterface::ChooseFileToOpen(const FileChooserOptions& options)
{
    return NextFileAnswer(EntryKind::OpenChooser, options);
}

std::optional<std::string> CRecordingUserInterface::ChooseFileToSave(const FileChooserOptions& options)
{
    return NextFileAnswer(EntryKind::SaveChooser, options);
}

void CRecordingUserInterface::BeginWait()
{
    std::scoped_lock lock(Mutex_);
    ++WaitDepth_;
    ++WaitCount_;
}

void CRecordingUserInterface::EndWait()
{
    std::scoped_lock lock(Mutex_);
    --WaitDepth_;
}

void CRecordingUserInterface::RefreshViews(const void*)
{
    std::scoped_lock lock(Mutex_);
    ++RefreshCount_;
}

void CRecordingUserInterface::QueuePictureFlagsAnswer(std::optional<CPictureFlags> flags)
{
    std::scoped_lock lock(Mutex_);
    PictureFlagsAnswers_.push_back(flags);
}

int CRecordingUserInterface::PictureFlagsRequests() const
{
    std::scoped_lock lock(Mutex_);
    return PictureFlagsRequests_;
}

CPictureFlags CRecordingUserInterface::LastPictureFlagsShown() const
{
    std::scoped_lock lock(Mutex_);
    return LastPictureFlagsShown_;
}

bool CRecordingUserInterface::EditPictureFlags(CPictureFlags& flags)
{
    std::scoped_lock lock(Mutex_);
    ++PictureFlagsRequests_;
    LastPictureFlagsShown_ = flags;
    if (PictureFlagsAnswers_.empty())
        return true;
    const std::optional<CPictureFlags> answer = PictureFlagsAnswers_.front();
    PictureFlagsAnswers_.pop_front();
    if (!answer)
        return false;
    flags = *answer;
    return true;
}

CScopedRecordingUserInterface::CScopedRecordingUserInterface()
{
    auto ui = std::make_unique<CRecordingUserInterface>();
    Ui_ = ui.get();
    Previous_ = InstallUserInterface(std::move(ui));
}

CScopedRecordingUserInterface::~CScopedRecordingUserInterface()
{
    InstallUserInterface(std::move(Previous_));
}

} // namespace tessaro
