// Start-up notices and bringing another installer's window to the front.
//
// The notices use system message boxes with English texts for now; the
// installer's own dialogs and its string table come later.
#ifndef LITE_INSTALLER_UI_MESSAGE_DIALOGS_H_
#define LITE_INSTALLER_UI_MESSAGE_DIALOGS_H_

#include <cstdint>
#include <string>

namespace lite {

// Activates the first top-level window of process `process_id`; with 0 it
// only logs the failure.
void BringProcessWindowToTop(uint32_t process_id);

// The processor notice: reason `message_id` (444 no SSE2, 445 no SSE3).
void ShowProcessorNotice(int message_id, const std::string& language);
// "Not enough disk space" with its OK button.
void ShowDiskSpaceNotice(const std::string& language);
// Windows XP and Vista are not supported (full installer builds only).
void ShowOldWindowsNotice(const std::string& language,
                          const std::string& brand_id);

}  // namespace lite

#endif  // LITE_INSTALLER_UI_MESSAGE_DIALOGS_H_
