// The one exception type of the library.
#pragma once

#include <stdexcept>
#include <string>

#include "palvo/export.h"

namespace Palvo {

/// Error numbers the library raises itself. Data access failures carry the
/// provider's number (errDatabase) and the backend's native code.
namespace ErrorNumber {
inline constexpr long InvalidCall = 5;  // invalid procedure call or argument
inline constexpr long Overflow = 6;
inline constexpr long SubscriptOutOfRange = 9;
inline constexpr long FileNotFound = 53;
inline constexpr long TypeMismatch = 13;
inline constexpr long InvalidUseOfNull = 94;
inline constexpr long InvalidPropertyValue = 380;
inline constexpr long ObjectRequired = 424;
inline constexpr long NoCurrentRecord = 3021;          // BOF or EOF is True
inline constexpr long ItemNotFound = 3265;             // no field of that name or position
inline constexpr long NotSupported = 3251;             // operation not supported (e.g. update on read-only)
inline constexpr long ObjectClosed = 3704;             // operation not allowed when the object is closed
inline constexpr long ObjectOpen = 3705;               // operation not allowed when the object is open
inline constexpr long Database = -2147217900;          // the statement failed in the database
inline constexpr long ConnectionFailed = -2147467259;  // could not connect
inline constexpr long NotInstalled = 429;              // no component to create the object
}  // namespace ErrorNumber

/// A raised failure: number and description, and for data access errors the
/// backend's native error code and SQLSTATE (empty when not known).
class PALVO_API Error : public std::runtime_error {
public:
    Error(long number, std::string description, long nativeCode = 0, std::string sqlState = {});

    long number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }
    long nativeCode() const noexcept { return nativeCode_; }
    const std::string& sqlState() const noexcept { return sqlState_; }

private:
    long number_;
    std::string description_;
    long nativeCode_;
    std::string sqlState_;
};

}  // namespace Palvo
