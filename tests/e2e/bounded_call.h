#pragma once
// Runs a call that must return at once on a thread of its own. When it does
// not return within the time limit, the test program ends with a failure
// instead of waiting on it forever (the blocked thread could not be joined).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

template <typename Call>
auto WithinSeconds(int seconds, const char* what, Call call) {
  auto task = std::make_shared<std::packaged_task<decltype(call())()>>(call);
  auto result = task->get_future();
  std::thread([task] { (*task)(); }).detach();
  if (result.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
    std::fprintf(stderr, "FAILED: %s did not return within %d s\n", what, seconds);
    std::fflush(stderr);
    std::_Exit(1);
  }
  return result.get();
}
