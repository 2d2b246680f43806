#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/desktop/NSPasteboard.h"

class QSocketNotifier;
struct wl_proxy;

namespace platform {

class WaylandConnection;

// The clipboard or the primary selection through the Wayland data-control protocol
// (ext_data_control_v1 where the compositor offers it, else zwlr_data_control_manager_v1, as
// wl-clipboard uses them): it works without a window and without the keyboard focus, and reaches
// every client of the session, native and (through the compositor) X ones. The text stays offered
// while this object lives; another program's copy ends the offer. A write counts as done only once
// the compositor announces the new selection and the text read back through it is the text written.
class WaylandDataControlPasteboard : public NSPasteboard {
public:
    enum class Selection { clipboard, primary };

    // nullptr when the compositor offers no data-control protocol (or, for the primary selection, none
    // that has it) or no seat. Without a connection it opens one to WAYLAND_DISPLAY.
    static std::unique_ptr<WaylandDataControlPasteboard> create(Selection selection,
                                                                std::shared_ptr<WaylandConnection> connection = nullptr);
    ~WaylandDataControlPasteboard() override;

    void clearContents() override;
    bool setString(const std::string& text) override;
    std::optional<std::string> string() const override;

    // How long a write waits for the compositor and a read for the text's owner.
    static constexpr std::chrono::milliseconds kAnswerLimit{2000};

    struct Protocol;

private:
    struct Offer;
    struct Source;
    struct Write;

    WaylandDataControlPasteboard(Selection selection, std::shared_ptr<WaylandConnection> connection,
                                 const Protocol& protocol, wl_proxy* manager, wl_proxy* device);
    static void onDataOffer(void* data, wl_proxy* device, wl_proxy* offer);
    static void onSelection(void* data, wl_proxy* device, wl_proxy* offer);
    static void onPrimarySelection(void* data, wl_proxy* device, wl_proxy* offer);
    static void onFinished(void* data, wl_proxy* device);
    static void onOfferMimeType(void* data, wl_proxy* offer, const char* mimeType);
    static void onSend(void* data, wl_proxy* source, const char* mimeType, std::int32_t fd);
    static void onCancelled(void* data, wl_proxy* source);

    void takeSelection(wl_proxy* offer);
    void setSource(wl_proxy* source);
    void dropSource();
    void dropWrite(Write* write);
    std::optional<std::string> read(wl_proxy* offer);
    bool waitForSelectionChange(unsigned previousChanges);

    Selection selection_;
    std::shared_ptr<WaylandConnection> connection_;
    const Protocol& protocol_;
    wl_proxy* manager_;
    wl_proxy* device_;
    bool finished_ = false;
    // Offers announced but not yet named as a selection, and the current selection's offer.
    std::vector<std::unique_ptr<Offer>> announced_;
    std::unique_ptr<Offer> current_;
    unsigned selectionChanges_ = 0;
    // The text we offer, and the copies of it still being written to readers.
    wl_proxy* source_ = nullptr;
    std::string text_;
    std::vector<std::unique_ptr<Write>> writes_;
};

}  // namespace platform
