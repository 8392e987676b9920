#pragma once

#include "HistoryStore.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace adc {

/// The trigger of the live scope: finds where a channel crosses a level on a rising or falling
/// edge and says which stretch of records to hold still around the last such edge.
///
/// Once an edge is found, the trigger waits for the records after it that complete its stretch
/// and takes no other edge meanwhile; the stretch is then held, and the next edge may follow.
/// - Normal: the stretch of the last edge whose stretch is complete; none until one is.
/// - Auto: the same, but when no edge completes a stretch within one stretch's length of
///   records after the last, the newest records are shown (no trigger point).
/// - Single: the first complete stretch after arm() is held until arm() is called again.
///
/// The level is in the history's values (counts); an edge counts once the signal has been
/// beyond the level by the hysteresis on the other side. Fed record by record (follow() catches
/// up with a history): O(1) per record, nothing allocated.
class Trigger {
public:
    enum class Edge { Rising, Falling };
    enum class Sweep { Auto, Normal, Single };

    struct Settings {
        int channel = 0;
        double level = 0;
        Edge edge = Edge::Rising;
        Sweep sweep = Sweep::Auto;
        /// The share of the stretch before the trigger point, 0 to 1.
        double before = 0.5;
        /// Records in the stretch held, at least 2.
        std::int64_t records = 1000;
        /// How far the signal must go back past the level before the next edge counts.
        double hysteresis = 0;
        bool operator==(const Settings &) const = default;
    };

    /// Records [start, end) to show, and the trigger point among them (none: no edge, the
    /// newest records in Auto).
    struct Stretch {
        std::int64_t start = 0;
        std::int64_t end = 0;
        std::optional<std::int64_t> trigger;
        bool operator==(const Stretch &) const = default;
    };

    /// New settings: edges found before them are forgotten, and Single is armed.
    void setSettings(const Settings &settings);
    const Settings &settings() const { return m_settings; }

    /// Single: waits for the next edge again (the stretch held so far is kept until then).
    void arm();
    /// Whether a Single trigger still waits for its edge.
    bool armed() const { return m_armed; }

    /// Record number `record` (numbered as the history numbers them, one after the other) with
    /// the trigger channel's value `value`.
    void add(std::int64_t record, double value);
    /// Adds the history's records not added yet; after a new run or records lost before they
    /// were added, it starts afresh from the oldest kept.
    void follow(const HistoryStore &history);

    /// What to show when the newest record is `end - 1`; none while Normal or Single waits for
    /// its first stretch.
    std::optional<Stretch> held(std::int64_t end) const;

private:
    std::int64_t recordsBefore() const;
    void forget();

    Settings m_settings;
    bool m_armed = true;
    /// The signal has been beyond the level on the side before the edge.
    bool m_ready = false;
    /// An edge whose stretch is not complete yet, and the last whose stretch is.
    std::optional<std::int64_t> m_pending;
    std::optional<std::int64_t> m_held;
    /// The next record to add, and the Start of the run they come from.
    std::int64_t m_next = 0;
    std::chrono::system_clock::time_point m_runStart{};
};

} // namespace adc
