#include "framework/runtime/Errors.h"

#include <new>
#include <utility>

#include "framework/runtime/Text.h"

Exception::Exception(std::string message) : message_(std::move(message)) {}

EReadError::EReadError() : EStreamError("ストリームからの読み込みエラー") {}

EWriteError::EWriteError() : EStreamError("ストリームへの書き込みエラー") {}

EFCreateError::EFCreateError(std::string_view path)
    : EStreamError(Format("ファイル %.*s を作成できません", static_cast<int>(path.size()), path.data()))
{
}

EFOpenError::EFOpenError(std::string_view path)
    : EStreamError(Format("ファイル %.*s を開けません", static_cast<int>(path.size()), path.data()))
{
}

EResNotFound::EResNotFound(std::string_view name)
    : Exception(Format("%.*s リソースが見つかりません", static_cast<int>(name.size()), name.data()))
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
