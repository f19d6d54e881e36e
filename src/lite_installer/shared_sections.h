// Data shared by every process started from the same executable file, kept
// in two PE sections marked shared (flags 0xD0000040).
#ifndef LITE_INSTALLER_SHARED_SECTIONS_H_
#define LITE_INSTALLER_SHARED_SECTIONS_H_

#include <cstddef>
#include <cstdint>

namespace lite {

struct DelayedParamsBlock;

// Section "SHARED": the process id of the instance that holds the
// single-instance lock; 0 until that instance writes it.
uint32_t ReadMasterProcessId();
void WriteMasterProcessId(uint32_t process_id);

// Section "Shared": the block handed to the elevated copy (its layout is in
// delayed_params.h).
constexpr size_t kDelayedParamsBlockSize = 0x10DC;  // 4316 bytes
DelayedParamsBlock& SharedDelayedParamsBlock();

}  // namespace lite

#endif  // LITE_INSTALLER_SHARED_SECTIONS_H_
