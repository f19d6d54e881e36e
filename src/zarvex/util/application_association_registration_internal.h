// Whether Windows' internal default-browser association interfaces are
// present and usable. The check may crash or hang inside Windows, so the
// installer asks it in a child process started with check-the-interface.
#ifndef ZARVEX_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_
#define ZARVEX_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_

namespace zarvex {

// The check itself, made in the probe process.
bool IsInternalInterfaceAvailable();

}  // namespace zarvex

#endif  // ZARVEX_UTIL_APPLICATION_ASSOCIATION_REGISTRATION_INTERNAL_H_
