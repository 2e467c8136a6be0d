// What the engine takes from the platform's runtime (the shared object model, the base
// exception, the GBK string helpers) and the stream and list exceptions of its own.
#pragma once

#include "platform/ansi_strings.h"
#include "platform/objects.h"

namespace unzip {

using platform::Exception;
using platform::EConvertError;
using platform::TObject;
using platform::TPersistent;
using platform::TComponent;
using platform::csDesigning;
using platform::csLoading;

#define UNZIP_EXCEPTION(Name, Base) PLATFORM_EXCEPTION(Name, Base)

UNZIP_EXCEPTION(EStreamError, Exception);
UNZIP_EXCEPTION(EFileStreamError, EStreamError);
UNZIP_EXCEPTION(EFOpenError, EFileStreamError);
UNZIP_EXCEPTION(EFCreateError, EFileStreamError);
UNZIP_EXCEPTION(EReadError, EStreamError);
UNZIP_EXCEPTION(EWriteError, EStreamError);
UNZIP_EXCEPTION(EFilerError, EStreamError);
UNZIP_EXCEPTION(EClassNotFound, EFilerError);
UNZIP_EXCEPTION(EListError, Exception);
UNZIP_EXCEPTION(EAbstractError, Exception);

using platform::ChangeFileExt;
using platform::CompareTextAscii;
using platform::EndsWithBackslash;
using platform::ExtractFileExt;
using platform::ExtractFileName;
using platform::ExtractFilePath;
using platform::AnsiLastDelimiter;
using platform::Format;
using platform::IsTrailByte;
using platform::LowerCaseAscii;
using platform::SameTextAnsi;
using platform::UpperCaseAscii;

}  // namespace unzip
