// What the shared libraries export. They are built with hidden visibility, so
// only the classes and functions of the public headers marked PALVO_API are
// seen from outside; the core's module functions stay inside its file.
#pragma once

#if defined(__GNUC__)
#define PALVO_API __attribute__((visibility("default")))
// For a class with virtual members declared inside an exported class's
// members, which would otherwise be exported with it.
#define PALVO_LOCAL __attribute__((visibility("hidden")))
#else
#define PALVO_API
#define PALVO_LOCAL
#endif
