// What the shared libraries export. They are built with hidden visibility, so
// only the classes and functions of the public headers marked PALVO_API are
// seen from outside; the core's module functions stay inside its file.
#pragma once

#if defined(__GNUC__)
#define PALVO_API __attribute__((visibility("default")))
#else
#define PALVO_API
#endif
