#pragma once
// One object of a class per process, created on first use. The class
// derives from Singleton<Itself> and befriends it so that only Instance()
// can construct it. Creation is thread-safe (function-local static).

namespace TESKTV::BASE {

template <class T>
class Singleton {
 public:
  static T& Instance() {
    static T instance;
    return instance;
  }

  Singleton(const Singleton&) = delete;
  Singleton& operator=(const Singleton&) = delete;

 protected:
  Singleton() = default;
  ~Singleton() = default;
};

}  // namespace TESKTV::BASE
