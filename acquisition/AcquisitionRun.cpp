#include "AcquisitionRun.h"

#include "CsvLineReader.h"
#include "KeyValueLineReader.h"

#include <array>
#include <charconv>
#include <cstring>

namespace adc {

namespace {

std::unique_ptr<LineReader> readerFor(Format format, int channels)
{
    switch (format) {
    case Format::Board:
        break;
    case Format::Csv:
        return std::make_unique<CsvLineReader>(channels);
    case Format::KeyValue:
        return std::make_unique<KeyValueLineReader>();
    }
    return nullptr;
}

} // namespace

AcquisitionRun::AcquisitionRun(Mode mode, SerialControl &port, Display &display)
    : m_mode(modeInfo(mode)), m_port(port), m_display(display), m_framer(m_mode.sync),
      m_reader(readerFor(m_mode.format, 0)), m_line(mode)
{
    if (m_reader) {
        return;
    }
    // The other mode's tag up to this mode's sync character ("MC" of "MCP" for INT): what the
    // framer passed over when it framed the tail of the other mode's record.
    const std::string_view otherTag = modeInfo(otherMode(mode)).tag;
    if (const std::size_t at = otherTag.find(m_mode.sync); at != std::string_view::npos) {
        m_otherTagHead = otherTag.substr(0, at);
    }
    for (int k = 0; k < m_mode.channelCount; ++k) {
        m_colours[static_cast<std::size_t>(k)] = channelColour(mode, k);
        // The recording's column names.
        m_names.push_back("ch" + std::to_string(k));
    }
}

void AcquisitionRun::setChannelCount(int channels)
{
    if (m_mode.format == Format::Csv && channels >= 0 && channels <= kMaxTextChannels) {
        m_reader = readerFor(m_mode.format, channels);
    }
}

bool AcquisitionRun::openPort()
{
    return m_port.setLineSettings(m_settings) && m_port.setPortOpen(true) &&
           m_port.setRtsEnable(true) && m_port.setInBufferCount(0);
}

bool AcquisitionRun::start(std::int64_t number)
{
    m_start = {m_mode.mode, number, m_clock->now()};
    if (m_reader) {
        m_reader->reset();
        m_names.clear();
    }
    if (m_observer != nullptr) {
        m_observer->runStarted(m_start);
        if (!m_names.empty()) {
            m_observer->channelsNamed(m_names);
        }
    }
    // The other mode's values would look live in the boxes this mode does not write.
    for (int channel = m_mode.channelCount; channel < kMaxChannels; ++channel) {
        m_display.resetValue(channel);
    }
    if (!openPort()) {
        fail(m_port.errorText());
        return false;
    }
    m_display.markRunning();
    m_running = true;
    m_suspended = false;
    m_count = 0;
    resetFramers();
    m_line.reset(m_start.at.monotonic);
    return true;
}

bool AcquisitionRun::service(std::size_t budget)
{
    std::array<char, 16 * 1024> buffer;
    while (m_running && !m_suspended && budget > 0) {
        const std::size_t got = m_port.input(buffer.data(), std::min(budget, buffer.size()));
        if (got == 0) {
            return false;
        }
        budget -= got;
        process(std::string_view(buffer.data(), got));
    }
    return m_running && !m_suspended && m_port.inBufferCount() > 0;
}

void AcquisitionRun::process(std::string_view characters)
{
    const ClockReading now = m_clock->now();
    m_line.arrived(characters);
    if (m_observer != nullptr) {
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
            now.monotonic - m_start.at.monotonic);
        m_observer->charactersTaken({now, micros.count(), m_start.run});
    }
    if (m_reader) {
        processLines(characters);
    } else {
        processRecords(characters);
    }
    m_line.blockDone(now.monotonic);
    if (m_observer != nullptr) {
        m_observer->charactersDone();
    }
}

void AcquisitionRun::processRecords(std::string_view characters)
{
    // The characters go to the record framer one line at a time, so that each line the wire
    // log shows gets what became of the record (if any) that ended on it.
    while (m_running && !characters.empty()) {
        const void *lf = std::memchr(characters.data(), '\n', characters.size());
        const std::size_t end =
            lf == nullptr
                ? characters.size()
                : static_cast<std::size_t>(static_cast<const char *>(lf) - characters.data()) + 1;
        const std::string_view segment = characters.substr(0, end);
        characters.remove_prefix(end);
        const LineVerdict verdict = frameRecords(segment);
        std::string_view rest = segment;
        if (m_wire != nullptr && m_lines.feed(rest)) {
            m_wire->add(m_lines.line(), verdict, m_lines.length());
        }
    }
}

LineVerdict AcquisitionRun::frameRecords(std::string_view segment)
{
    // A line with no record on it is no record of this mode.
    LineVerdict verdict = LineVerdict::dropped(DropReason::WrongTag);
    const std::size_t overlong = m_framer.overlongDropped();
    while (m_running && m_framer.feed(segment)) {
        std::string &record = m_framer.record();
        if (RecordParser::tagMatches(m_mode, record)) {
            verdict = accept(record);
        } else if (m_otherTagHead.empty() || m_framer.lead() != m_otherTagHead) {
            // The other mode's records are no drops: the line monitor counts them apart.
            m_line.dropped(LineMonitor::Drop::WrongTag);
        }
    }
    if (const std::size_t more = m_framer.overlongDropped() - overlong; more > 0) {
        m_line.dropped(LineMonitor::Drop::TooLong, static_cast<std::int64_t>(more));
        verdict = LineVerdict::dropped(DropReason::TooLong);
    }
    return verdict;
}

void AcquisitionRun::processLines(std::string_view characters)
{
    while (m_running && m_lines.feed(characters)) {
        const LineVerdict verdict = m_reader->read(m_lines);
        if (m_wire != nullptr) {
            m_wire->add(m_lines.line(), verdict, m_lines.length());
        }
        if (verdict.kind == LineVerdict::Kind::Taken) {
            acceptLine();
        } else if (verdict.kind == LineVerdict::Kind::Dropped) {
            m_line.dropped(verdict.reason);
        }
    }
}

void AcquisitionRun::acceptLine()
{
    // The readers' names only ever grow, and CSV's are set once: a new count is a new naming.
    const std::span<const std::string> names = m_reader->names();
    if (names.size() != m_names.size()) {
        m_names.assign(names.begin(), names.end());
        if (m_observer != nullptr) {
            m_observer->channelsNamed(m_names);
        }
    }
    countOne();
    if (m_observer != nullptr) {
        m_observer->recordAccepted({m_mode.mode, m_count, m_reader->values()});
    }
}

void AcquisitionRun::countOne()
{
    m_line.accepted();
    ++m_count;
    std::array<char, 24> digits;
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), m_count).ptr;
    m_display.showCount(
        std::string_view(digits.data(), static_cast<std::size_t>(end - digits.data())));
}

LineVerdict AcquisitionRun::accept(std::string &record)
{
    if (!RecordParser::parse(m_mode, record, m_texts, m_current, &m_values)) {
        m_line.dropped(LineMonitor::Drop::TooFewFields);
        return LineVerdict::dropped(DropReason::TooFewFields);
    }
    const int channels = m_mode.channelCount;
    for (int k = 0; k < channels; ++k) {
        m_display.showValueText(k, m_texts[k]);
    }
    countOne();
    if (m_count == 1) {
        // The first record draws level segments.
        m_previous = m_current;
    }
    for (int k = 0; k < channels; ++k) {
        m_display.drawStep(
            {m_count - 1, m_previous[k], m_current[k], m_colours[static_cast<std::size_t>(k)]});
    }
    for (int k = 0; k < channels; ++k) {
        m_previous[k] = m_current[k];
    }
    if (m_observer != nullptr) {
        m_observer->recordAccepted(
            {m_mode.mode, m_count, std::span(m_values.data(), static_cast<std::size_t>(channels))});
    }
    return LineVerdict::taken();
}

void AcquisitionRun::fail(std::string_view message)
{
    stop();
    m_display.runEnded(message);
}

void AcquisitionRun::stop()
{
    m_running = false;
    m_suspended = false;
    if (m_port.portOpen()) {
        m_port.setPortOpen(false);
    }
}

void AcquisitionRun::suspend()
{
    if (!m_running || m_suspended) {
        return;
    }
    m_suspended = true;
    if (m_port.portOpen()) {
        m_port.setPortOpen(false);
    }
    // A line cut in two by the loss must not join the first line of the device that comes back.
    resetFramers();
    m_display.markWaiting();
}

bool AcquisitionRun::resume()
{
    if (!m_suspended) {
        return false;
    }
    if (!openPort()) {
        if (m_port.portOpen()) {
            m_port.setPortOpen(false);
        }
        return false;
    }
    m_suspended = false;
    resetFramers();
    m_display.markRunning();
    return true;
}

void AcquisitionRun::resetFramers()
{
    m_framer.reset();
    m_lines.reset();
}

std::int64_t AcquisitionRun::droppedRecords() const
{
    return m_line.dropped();
}

} // namespace adc
