#include "Parloquin/views/FileSectionPage.h"

#include "Parloquin/views/FileTranscriptionView.h"
#include "Parloquin/views/PlaceholderPageView.h"

namespace parloquin {

QWidget* FileSectionPage::make(const PageContext& context) {
    if (!context.transcriptionService) return new PlaceholderPageView(SidebarSection::file);
    return new FileTranscriptionView(*context.transcriptionService, context);
}

}  // namespace parloquin
