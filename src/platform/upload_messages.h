// The upload reader's messages; they carry no error code and no "ERROR: " prefix.
#pragma once

#include <string>
#include <string_view>

std::string CannotOpenFileMessage(std::string_view path);
std::string CannotSizeFileMessage(std::string_view path);
std::string FileTooLargeMessage(std::string_view path);
std::string FailedToReadFileMessage(std::string_view path);
