#pragma once
// Price for 010 $d: an ISO 4217 currency code and the amount with two decimals ("CNY25.00").

#include <optional>
#include <string>
#include <string_view>

namespace rowcaster::convert {

// ¥ ￥ 元 圆 RMB → CNY; $ US$ → USD; HK$ → HKD; NT$ → TWD; £ → GBP; € → EUR; no sign: CNY.
// Nothing for an empty, zero, negative or unreadable price.
std::optional<std::string> CurrencyPrice(std::string_view value);

}  // namespace rowcaster::convert
