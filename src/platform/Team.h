#pragma once
// A team of threads made once and given one job after another: a thread takes milliseconds to
// start on some machines (a virtual one whose other core sleeps), a waiting one is woken in
// microseconds. Each job runs on every member, the caller being one.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace rowcaster {

class Team {
 public:
  // `members` counting the caller; fewer when the system gives no more threads.
  explicit Team(std::int64_t members);
  ~Team();
  Team(const Team&) = delete;
  Team& operator=(const Team&) = delete;

  std::int64_t size() const { return static_cast<std::int64_t>(threads_.size()) + 1; }
  // `job(m)` on each member m (the caller is 0), returning when all are done; what a member
  // throws is thrown here once all are done.
  void Run(const std::function<void(std::int64_t)>& job);

 private:
  void Serve(std::int64_t member);

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  const std::function<void(std::int64_t)>* job_ = nullptr;
  std::uint64_t round_ = 0;  // of the job last given
  std::int64_t running_ = 0;  // members still at it
  std::exception_ptr error_;
  bool quit_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace rowcaster
