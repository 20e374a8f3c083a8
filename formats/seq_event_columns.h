// The columns of a real-time event, described once. Each row names a column and reaches its
// value in (entry, address), the log entry and the address of the instruction that produced
// it; the value's type is the column's kind. The CSV and JSON Lines writers and the Python
// module's numpy records are generated from this table, so adding a column is adding a row.
//
// The table is a tuple of constant rows, and forEachColumn() unrolls into one call per row:
// what is generated from it is straight-line code with the names as constants.
#pragma once

#include "assembler/seq_event_sink.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace seq_event_columns {

using entry_t = seq_event_sink::rt_info;
using address_t = seq_event_sink::address_t;

// `access(entry, address)` is a reference to the column's value, const where they are.
template <class Access> struct Column {
    const char* name;
    Access access;
};
template <class Access> Column(const char*, Access) -> Column<Access>;

// clang-format off
inline constexpr std::tuple kColumns{
    Column{"time_ns", [](auto& e, auto&) -> auto& { return e.time_ns; }},
    Column{"duration_ns", [](auto& e, auto&) -> auto& { return e.duration_ns; }},
    Column{"address", [](auto&, auto& address) -> auto& { return address; }},
    Column{"mnemonic", [](auto& e, auto&) -> auto& { return e.str; }},
    Column{"play_valid", [](auto& e, auto&) -> auto& { return e.play_valid; }},
    Column{"wave_idx0", [](auto& e, auto&) -> auto& { return e.wave_idx[0]; }},
    Column{"wave_idx1", [](auto& e, auto&) -> auto& { return e.wave_idx[1]; }},
    Column{"acquire_valid", [](auto& e, auto&) -> auto& { return e.acquire_valid; }},
    Column{"acq_idx", [](auto& e, auto&) -> auto& { return e.acq_idx; }},
    Column{"bin_idx", [](auto& e, auto&) -> auto& { return e.bin_idx; }},
    Column{"weight_idx0", [](auto& e, auto&) -> auto& { return e.weight_idx[0]; }},
    Column{"weight_idx1", [](auto& e, auto&) -> auto& { return e.weight_idx[1]; }},
    Column{"param_valid", [](auto& e, auto&) -> auto& { return e.param_valid; }},
    Column{"awg_gain0", [](auto& e, auto&) -> auto& { return e.awg_gain[0]; }},
    Column{"awg_gain1", [](auto& e, auto&) -> auto& { return e.awg_gain[1]; }},
    Column{"awg_offs0", [](auto& e, auto&) -> auto& { return e.awg_offs[0]; }},
    Column{"awg_offs1", [](auto& e, auto&) -> auto& { return e.awg_offs[1]; }},
    Column{"ph_coarse", [](auto& e, auto&) -> auto& { return e.ph_coarse; }},
    Column{"ph_fine", [](auto& e, auto&) -> auto& { return e.ph_fine; }},
    Column{"ph_ufine", [](auto& e, auto&) -> auto& { return e.ph_ufine; }},
    Column{"ph_delta_coarse", [](auto& e, auto&) -> auto& { return e.ph_delta_coarse; }},
    Column{"ph_delta_fine", [](auto& e, auto&) -> auto& { return e.ph_delta_fine; }},
    Column{"ph_delta_ufine", [](auto& e, auto&) -> auto& { return e.ph_delta_ufine; }},
    Column{"mrk", [](auto& e, auto&) -> auto& { return e.mrk; }},
};
// clang-format on

inline constexpr size_t kCount = std::tuple_size_v<std::remove_const_t<decltype(kColumns)>>;

template <size_t I> constexpr std::string_view nameOf = std::get<I>(kColumns).name;

// The column's value in an entry and its address, as a reference (const for const arguments).
template <size_t I, class Entry, class Address> constexpr auto& valueOf(Entry& e, Address& a) {
    return std::get<I>(kColumns).access(e, a);
}

template <size_t I>
using ValueOf = std::remove_cvref_t<decltype(valueOf<I>(std::declval<const entry_t&>(),
                                                        std::declval<const address_t&>()))>;

// The kinds of column: a flag, a number, or the mnemonic's text (null for none).
template <class T>
concept ColumnValue = std::is_same_v<T, bool> || std::is_same_v<T, int32_t> ||
    std::is_same_v<T, uint32_t> || std::is_same_v<T, uint64_t> || std::is_same_v<T, const char*>;
template <size_t I> constexpr bool isText = std::is_same_v<ValueOf<I>, const char*>;

// Calls f(std::integral_constant<size_t, I>{}) for every column I, in order.
template <class F> constexpr void forEachColumn(F&& f) {
    [&]<size_t... I>(std::index_sequence<I...>) {
        static_assert((ColumnValue<ValueOf<I>> && ...), "a column holds a kind of value");
        (f(std::integral_constant<size_t, I>{}), ...);
    }
    (std::make_index_sequence<kCount>{});
}

// The sum of size(std::integral_constant<size_t, I>{}) over all columns.
template <class F> constexpr size_t sumOverColumns(F size) {
    size_t sum = 0;
    forEachColumn([&](auto i) { sum += size(i); });
    return sum;
}

// The text of an entry's mnemonic.
inline std::string_view textOf(const char* text) {
    return text != nullptr ? std::string_view(text) : std::string_view();
}

} // namespace seq_event_columns
