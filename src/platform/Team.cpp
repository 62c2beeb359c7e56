#include "platform/Team.h"

#include <system_error>

namespace rowcaster {

Team::Team(std::int64_t members) {
  for (std::int64_t m = 1; m < members; ++m) {
    try {
      threads_.emplace_back([this, m] { Serve(m); });
    } catch (const std::system_error&) {
      break;  // the members made do the work
    }
  }
}

Team::~Team() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void Team::Run(const std::function<void(std::int64_t)>& job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = &job;
    ++round_;
    running_ = static_cast<std::int64_t>(threads_.size());
    error_ = nullptr;
  }
  wake_.notify_all();
  std::exception_ptr own;
  try {
    job(0);
  } catch (...) {
    own = std::current_exception();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return running_ == 0; });
  job_ = nullptr;
  if (own) std::rethrow_exception(own);
  if (error_) std::rethrow_exception(error_);
}

void Team::Serve(std::int64_t member) {
  std::uint64_t seen = 0;
  for (;;) {
    const std::function<void(std::int64_t)>* job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return quit_ || round_ != seen; });
      if (quit_) return;
      seen = round_;
      job = job_;
    }
    std::exception_ptr thrown;
    try {
      (*job)(member);
    } catch (...) {
      thrown = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (thrown && !error_) error_ = thrown;
      --running_;
    }
    done_.notify_all();
  }
}

}  // namespace rowcaster
