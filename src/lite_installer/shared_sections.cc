#include "lite_installer/shared_sections.h"

#include <windows.h>

#include "lite_installer/delayed_params.h"

namespace {

// The "shared" attribute makes the linker mark the sections
// IMAGE_SCN_MEM_SHARED; both start zero-filled in the file.
__attribute__((section("SHARED"), shared,
               used)) volatile LONG g_master_process_id = 0;

// Aligned explicitly so that the compiler does not pad the large object (and
// with it the section) to a wider boundary.
__attribute__((section("Shared"), shared, used, aligned(4)))
lite::DelayedParamsBlock g_delayed_params_block = {};

}  // namespace

namespace lite {

uint32_t ReadMasterProcessId() {
  return static_cast<uint32_t>(
      ::InterlockedCompareExchange(&g_master_process_id, 0, 0));
}

void WriteMasterProcessId(uint32_t process_id) {
  ::InterlockedExchange(&g_master_process_id, static_cast<LONG>(process_id));
}

DelayedParamsBlock& SharedDelayedParamsBlock() {
  return g_delayed_params_block;
}

}  // namespace lite
