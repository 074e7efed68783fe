#include "framework/runtime/Errors.h"

#include <new>
#include <utility>

#include "framework/runtime/Text.h"

Exception::Exception(std::string message, DWORD platformError)
    : message_(std::move(message)), platformError_(platformError)
{
}

EReadError::EReadError(DWORD platformError) : EStreamError("ストリームからの読み込みエラー", platformError) {}

EWriteError::EWriteError(DWORD platformError) : EStreamError("ストリームへの書き込みエラー", platformError) {}

ESeekError::ESeekError(DWORD platformError) : EStreamError("ストリームのシークエラー", platformError) {}

EFCreateError::EFCreateError(std::string_view path, DWORD platformError)
    : EStreamError(Format("ファイル %.*s を作成できません", static_cast<int>(path.size()), path.data()),
                   platformError)
{
}

EFOpenError::EFOpenError(std::string_view path, DWORD platformError)
    : EStreamError(Format("ファイル %.*s を開けません", static_cast<int>(path.size()), path.data()), platformError)
{
}

EResNotFound::EResNotFound(std::string_view name, DWORD platformError)
    : Exception(Format("%.*s リソースが見つかりません", static_cast<int>(name.size()), name.data()), platformError)
{
}

EOutOfMemory::EOutOfMemory() : Exception("メモリが不足しています") {}

std::string MessageOf(const std::exception& error)
{
    if (const auto* own = dynamic_cast<const Exception*>(&error))
        return own->Message();
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return EOutOfMemory().Message();
    return error.what();
}
