#include "palvo/error.h"

namespace Palvo {

Error::Error(long number, std::string description, long nativeCode, std::string sqlState)
    : std::runtime_error(description),
      number_(number),
      description_(std::move(description)),
      nativeCode_(nativeCode),
      sqlState_(std::move(sqlState)) {}

}  // namespace Palvo
