#pragma once

#include <cstdint>

namespace tandrel {

// The most heap memory (operator new) held at once since it was made, beyond what was held when
// it was made. The engine tests replace the global operator new and delete to count it; one
// HeapPeak at a time.
class HeapPeak {
  public:
    HeapPeak();
    ~HeapPeak();
    HeapPeak(const HeapPeak&) = delete;
    HeapPeak& operator=(const HeapPeak&) = delete;

    int64_t Bytes() const;

  private:
    int64_t m_start;
};

}  // namespace tandrel
