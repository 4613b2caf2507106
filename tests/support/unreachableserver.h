#pragma once

namespace mavrel::testing {

// Where a test's viewer sends what no server of the test answers: a closed loopback port. The
// build's default address is where a developer's own server listens, so no test may fall back to
// it; the test main points both server variables here before every test.
inline constexpr char kUnreachableServer[] = "http://127.0.0.1:9";

} // namespace mavrel::testing
