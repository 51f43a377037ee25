// What the key callback must receive from the handset's key reports, worked out from the reports alone, and
// how the callbacks one reader made compare with it.
//
// Each report carries a key (or none) and the hook switch. The reader turns it into its key's code, and
// into the hook code one poll later when the switch moved; the repeat filter drops a code equal to the last
// one it let by, and no key (a release, a scan code of no key) re-arms it. Two things re-arm it unseen: a
// read that waits 100 ms without a report, and the time between two openings of the handset. Where either
// may have come between, a code equal to the last one may arrive or not. A removal drops what the reader had
// not taken yet: the last codes of an opening, never one from a report sent long before it.
#pragma once

#include "handset/keypad.h"
#include "usbphone_codes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace stress {

// One key report the handset sent.
struct SentKeyReport {
    uint8_t scanCode = 0;
    bool offHook = false;
    bool afterQuiet = false;         // 100 ms or more after the one before: the filter may have re-armed
    bool longBeforeRemoval = false;  // so early before a removal that the reader must have taken it
};

// The reports of one opening of the handset and the codes its reader delivered.
struct Opening {
    std::vector<SentKeyReport> reports;
    std::vector<int> delivered;
    bool removed = false;  // ended by a removal; the last opening is not
};

struct StreamFigures {
    size_t sent = 0;              // key and hook changes the reports carried
    size_t delivered = 0;         // of them, delivered once and in order
    size_t againAfterQuiet = 0;   // of those, a code equal to the last let by again by a re-arm
    size_t repeatFiltered = 0;    // dropped by the repeat filter
    size_t removalDropped = 0;    // dropped by a removal
    size_t mostAtOneRemoval = 0;  // the most a single removal dropped
    size_t lost = 0;
    size_t doubled = 0;
    size_t outOfOrder = 0;
    size_t notSent = 0;  // delivered codes that no report carried

    void Add(const StreamFigures& o) {
        sent += o.sent;
        delivered += o.delivered;
        againAfterQuiet += o.againAfterQuiet;
        repeatFiltered += o.repeatFiltered;
        removalDropped += o.removalDropped;
        mostAtOneRemoval = std::max(mostAtOneRemoval, o.mostAtOneRemoval);
        lost += o.lost;
        doubled += o.doubled;
        outOfOrder += o.outOfOrder;
        notSent += o.notSent;
    }
};

// No key: a report of no key, or a re-armed filter.
constexpr int kNoKey = -1;

namespace detail {

// The key code of a scan code, from the handset's own keypad and the key code table.
inline int KeyCodeOf(uint8_t scanCode) {
    const std::optional<sim::Key> key = sim::keyForScanCode(scanCode);
    if (!key) return kNoKey;
    switch (*key) {
        case sim::Key::Star: return KEY_STAR;
        case sim::Key::Hash: return KEY_HASH;
        case sim::Key::No: return KEY_NO;
        case sim::Key::Up: return KEY_UP;
        case sim::Key::Yes: return KEY_YES;
        case sim::Key::Down: return KEY_DOWN;
        case sim::Key::Mute: return KEY_MUTE;
        case sim::Key::Clear: return KEY_CLEAR;
        default: return static_cast<int>(*key) - static_cast<int>(sim::Key::Digit0);
    }
}

enum class Fate { Deliver, Either, Filter, NoKey };

struct Poll {
    int code;
    size_t report;
    Fate fate;
};

// The polls an opening's reports make, each code with its fate, when the filter's last code is one of
// `last` at the start. A new opening starts from hook status unknown and the hook on.
inline std::vector<Poll> PollsOf(const std::vector<SentKeyReport>& reports, std::set<int> last) {
    std::vector<Poll> polls;
    const auto take = [&](int code, size_t report) {
        Fate fate = Fate::NoKey;
        if (code != kNoKey)
            fate = last.count(code) == 0 ? Fate::Deliver : last.size() == 1 ? Fate::Filter : Fate::Either;
        polls.push_back({code, report, fate});
        last = {code};
    };
    bool hookKnown = false;
    bool previousOffHook = false;
    for (size_t i = 0; i < reports.size(); ++i) {
        if (reports[i].afterQuiet) last.insert(kNoKey);
        take(KeyCodeOf(reports[i].scanCode), i);
        const bool offHook = reports[i].offHook;
        if ((!hookKnown && offHook) || (hookKnown && offHook != previousOffHook))
            take(offHook ? KEY_OFF_HOOK : KEY_ON_HOOK, i);
        hookKnown = true;
        previousOffHook = offHook;
    }
    return polls;
}

// For each of `codes`, the index of the delivered code it matches, or -1: the longest common subsequence,
// each code matched as early as it can be.
inline std::vector<long> Align(const std::vector<int>& codes, const std::vector<int>& delivered) {
    const size_t n = codes.size();
    const size_t m = delivered.size();
    std::vector<uint32_t> best((n + 1) * (m + 1), 0);  // matches between codes[i...] and delivered[j...]
    const auto at = [&](size_t i, size_t j) -> uint32_t& { return best[i * (m + 1) + j]; };
    for (size_t i = n; i-- > 0;) {
        for (size_t j = m; j-- > 0;) {
            at(i, j) = codes[i] == delivered[j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
        }
    }
    std::vector<long> match(n, -1);
    for (size_t i = 0, j = 0; i < n && j < m;) {
        if (codes[i] == delivered[j] && at(i, j) == at(i + 1, j + 1) + 1) {
            match[i++] = static_cast<long>(j++);
        } else if (at(i + 1, j) == at(i, j)) {
            ++i;
        } else {
            ++j;
        }
    }
    return match;
}

}  // namespace detail

// Compares what one opening's reader delivered with what its reports called for. `last` holds the codes
// the filter may hold as the opening starts (only kNoKey for a freshly loaded library) and is left holding
// those it may hold as the next one starts.
inline StreamFigures CompareOpening(const Opening& opening, std::set<int>& last) {
    using namespace detail;
    const std::vector<Poll> polls = PollsOf(opening.reports, last);
    std::vector<size_t> candidates;  // the polls whose code may be delivered
    std::vector<int> codes;
    StreamFigures f;
    for (size_t p = 0; p < polls.size(); ++p) {
        if (polls[p].fate != Fate::NoKey) ++f.sent;
        if (polls[p].fate == Fate::Filter) ++f.repeatFiltered;
        if (polls[p].fate != Fate::Deliver && polls[p].fate != Fate::Either) continue;
        candidates.push_back(p);
        codes.push_back(polls[p].code);
    }
    const std::vector<long> match = Align(codes, opening.delivered);
    long lastMatched = -1;
    for (size_t i = 0; i < match.size(); ++i) {
        if (match[i] >= 0) lastMatched = static_cast<long>(i);
    }

    std::multiset<int> missing;
    std::vector<bool> matched(opening.delivered.size(), false);
    for (size_t i = 0; i < candidates.size(); ++i) {
        const Poll& poll = polls[candidates[i]];
        if (match[i] >= 0) {
            matched[static_cast<size_t>(match[i])] = true;
            ++f.delivered;
            if (poll.fate == Fate::Either) ++f.againAfterQuiet;
        } else if (poll.fate == Fate::Either) {
            ++f.repeatFiltered;
        } else if (static_cast<long>(i) > lastMatched && opening.removed &&
                   !opening.reports[poll.report].longBeforeRemoval) {
            ++f.removalDropped;
        } else {
            missing.insert(poll.code);
        }
    }
    f.mostAtOneRemoval = f.removalDropped;
    for (size_t j = 0; j < opening.delivered.size(); ++j) {
        if (matched[j]) continue;
        const int code = opening.delivered[j];
        if (j > 0 && opening.delivered[j - 1] == code) {
            ++f.doubled;
        } else if (auto it = missing.find(code); it != missing.end()) {
            ++f.outOfOrder;
            missing.erase(it);
        } else {
            ++f.notSent;
        }
    }
    f.lost = missing.size();

    // The next opening's filter holds the last code this reader let by, or any code it took after that, or
    // none: the failed read of a removal re-arms it.
    std::set<int> next = {kNoKey};
    size_t from = 0;
    if (lastMatched >= 0) {
        from = candidates[static_cast<size_t>(lastMatched)];
    } else {
        next.insert(last.begin(), last.end());
    }
    for (size_t p = from; p < polls.size(); ++p) next.insert(polls[p].code);
    last = std::move(next);
    return f;
}

}  // namespace stress
