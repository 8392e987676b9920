#pragma once

#include <QObject>

#include <memory>

namespace adc {

class LineView;
class RunSession;

/// The line view of a session's wire, made the first time it is asked for and shown, raised and
/// given the keyboard each time after.
class LineViewOpener : public QObject {
    Q_OBJECT

public:
    explicit LineViewOpener(RunSession &session, QObject *parent = nullptr);
    ~LineViewOpener() override;

    /// Shows the line view.
    void open();
    /// The view once it has been opened.
    LineView *view() const { return m_view.get(); }

private:
    RunSession &m_session;
    std::unique_ptr<LineView> m_view;
};

} // namespace adc
