#pragma once

#include "ChannelUnits.h"

#include <QObject>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace adc {

class HistoryStore;
class LiveFeed;
class RunSession;
class ScopeWindow;

/// The scope beside the main window (--scope, the dialog or the menu), fed with every record of
/// the session's runs from when it opens.
class LiveScope : public QObject {
    Q_OBJECT

public:
    /// The scope's size unless the screen has less room, and the least it is given beside the
    /// window.
    static constexpr QSize kSize{960, 600};
    static constexpr QSize kLeastSize{640, 400};
    /// Pixels between the two windows.
    static constexpr int kGap = 8;

    /// The scope of `session`'s runs beside `window`, keeping the newest `records` records.
    LiveScope(RunSession &session, QWidget &window, std::int64_t records,
              QObject *parent = nullptr);
    ~LiveScope() override;

    /// Channel names and units given for the session (over those the scope keeps).
    void setChannelSettings(std::vector<ChannelUnits::Setting> settings)
    {
        m_channelSettings = std::move(settings);
    }
    /// Shows the scope, made the first time and placed beside the window as soon as the window
    /// has its own place on the screen.
    void open();
    /// The scope once it has been opened.
    ScopeWindow *scope() const { return m_scope.get(); }

    /// Where a window whose frame is `size` goes beside `main` (a frame too) on a screen's
    /// `available` area: to the right of it, else to the left, else below, else above; wholly on
    /// the screen and clear of the main window, as large as `size` and no smaller than `least`.
    /// None when no side has that room (then the window manager decides).
    static std::optional<QRect> placeBeside(const QRect &available, const QRect &main, QSize size,
                                            QSize least);

signals:
    /// The scope asks for the line view (Ctrl+L).
    void lineViewWanted();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    RunSession &m_session;
    QWidget &m_window;
    std::int64_t m_records;
    std::vector<ChannelUnits::Setting> m_channelSettings;
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<ScopeWindow> m_scope;
    std::unique_ptr<LiveFeed> m_feed;
};

} // namespace adc
