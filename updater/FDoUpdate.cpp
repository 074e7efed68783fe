#include "updater/FDoUpdate.h"

#include <windows.h>

#include "container/UZLIB.h"
#include "framework/controls/Label.h"
#include "framework/controls/ProgressBar.h"
#include "framework/runtime/StringTable.h"
#include "framework/runtime/Text.h"
#include "framework/ui/Application.h"
#include "updater/Pathutil.h"
#include "updater/ProgramValues.h"
#include "updater/Rdynotfy.h"
#include "updater/UMessage.h"

namespace {

constexpr unsigned kUnexpectedErrorText = 65324;
constexpr unsigned kReadOnlyText = 65325;
constexpr unsigned kPayloadName = 65323;

std::string FolderOf(const std::string& path)
{
    const std::string folder = FolderPartOf(path);
    return folder.empty() ? "." : folder;
}

// Creates an empty file under a name no other file in the folder has;
// empty when the folder cannot take one.
std::string NewUniqueFile(const std::string& folder)
{
    char name[MAX_PATH];
    if (!GetTempFileNameA(folder.c_str(), "upd", 0, name))
        return {};
    return name;
}

// The new executable while it is being written beside the target. Removed
// again unless it has been moved in place of the target.
class TTemporaryFile {
public:
    explicit TTemporaryFile(const std::string& target) : path_(NewUniqueFile(FolderOf(target)))
    {
        if (path_.empty())
            throw EFCreateError(target);
        handle_ = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            DeleteFileA(path_.c_str());
            throw EFCreateError(target);
        }
    }

    ~TTemporaryFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        if (!path_.empty())
            DeleteFileA(path_.c_str());
    }

    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;

    // One write, then flushed and closed: the file must be complete on disk
    // before it may take the target's place.
    void WriteAll(const void* data, std::int64_t size)
    {
        DWORD done = 0;
        if (size > 0 && (!WriteFile(handle_, data, static_cast<DWORD>(size), &done, nullptr) || done != size))
            throw EWriteError();
        const bool flushed = FlushFileBuffers(handle_);
        const bool closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        if (!flushed || !closed)
            throw EWriteError();
    }

    void MoveOver(const std::string& target)
    {
        if (MoveFileExA(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
            (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED && ReplaceByRenaming(path_, target))) {
            path_.clear();
            return;
        }
        throw EFCreateError(target);
    }

private:
    std::string path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace

EReadOnly::EReadOnly(std::string_view path) : Exception(std::string(path)) {}

std::string UpdateErrorText(const std::exception& error)
{
    const unsigned text = dynamic_cast<const EReadOnly*>(&error) ? kReadOnlyText : kUnexpectedErrorText;
    return Format(LoadStr(text).c_str(), MessageOf(error).c_str());
}

void LoadPayload(TStream& destination, const char* name, const char* type)
{
    TResourceStream resource(GetModuleHandleA(nullptr), name, type);
    std::int32_t declaredSize = 0;
    const bool packed = ReadContainerHeader(resource, declaredSize);
    const std::int64_t start = destination.Position();
    const std::int64_t oldSize = destination.Size();
    const std::int64_t end = start + (packed ? declaredSize : resource.Size());
    try {
        // All the room at once: growing piece by piece would copy the content
        // again and again and hold an old and a new buffer side by side.
        if (end > oldSize)
            destination.SetSize(end);
        if (packed)
            DecompressContainer(resource, destination, declaredSize);
        else
            destination.CopyFrom(resource, 0);
    } catch (...) {
        destination.SetSize(oldSize);
        destination.SetPosition(start);
        throw;
    }
}

void CheckWritable(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        throw EReadOnly(path);
}

void ReplaceExecutable(const std::string& path, TCustomMemoryStream& content)
{
    TTemporaryFile file(path);
    file.WriteAll(content.Memory(), content.Size());
    file.MoveOver(path);
}

bool ReplaceByRenaming(const std::string& source, const std::string& target)
{
    if (GetFileAttributesA(target.c_str()) == INVALID_FILE_ATTRIBUTES)
        return MoveFileA(source.c_str(), target.c_str());
    const std::string aside = NewUniqueFile(FolderOf(target));
    if (aside.empty())
        return false;
    // Only the unique name is wanted: MoveFile does not replace a file.
    DeleteFileA(aside.c_str());
    if (!MoveFileA(target.c_str(), aside.c_str()))
        return false;
    if (!MoveFileA(source.c_str(), target.c_str())) {
        MoveFileA(aside.c_str(), target.c_str());
        return false;
    }
    DeleteFileA(aside.c_str());
    return true;
}

TfrmDoUpdate::TfrmDoUpdate(TComponent* owner) : TForm(owner)
{
    Publish("FormCreate", this, &TfrmDoUpdate::FormCreate);
    Publish("ReadyNotifier1Ready", this, &TfrmDoUpdate::ReadyNotifier1Ready);
    Publish("FormCloseQuery", this, &TfrmDoUpdate::FormCloseQuery);
    PublishField("Label1", Label1);
    PublishField("Label2", Label2);
    PublishField("ProgressBar1", ProgressBar1);
    PublishField("ReadyNotifier1", ReadyNotifier1);
}

void TfrmDoUpdate::FormCreate(TObject*)
{
    SetText(GetAppTitle());
    Label1->SetText(Format(Label1->Text().c_str(), UpdateVersionMajor, UpdateVersionMinor));
}

void TfrmDoUpdate::ReadyNotifier1Ready(TObject*)
{
    Application().SetOnException(TExceptionEvent(
        [this](TObject* sender, const std::exception& error) { AppException(sender, error); }));
    // The modal loop looks at the result only after this handler returns, so
    // an error that leaves it ends the run with Cancel.
    SetModalResult(mrCancel);
    Repaint();
    DoUpdate();
    SetModalResult(mrOk);
}

void TfrmDoUpdate::DoUpdate()
{
    TMemoryStream working;
    ProgressBar1->SetMax(3);
    ProgressBar1->SetPosition(1);
    LoadPayload(working, LoadStr(kPayloadName).c_str(), RT_RCDATA);
    ProgressBar1->SetPosition(2);
    CheckWritable(TargetExePath);
    ProgressBar1->SetPosition(3);
    ReplaceExecutable(TargetExePath, working);
}

void TfrmDoUpdate::AppException(TObject*, const std::exception& error)
{
    ShowWarning(UpdateErrorText(error));
}

void TfrmDoUpdate::FormCloseQuery(TObject*, bool& canClose)
{
    Application().SetOnException(TExceptionEvent());
    canClose = true;
}
