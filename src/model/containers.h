// The growable arrays that carry every list of the model.
//  - MY_TArrayAsVector<T>:   values, grows by a fixed increment.
//  - MY_TIArrayAsVector<T>:  pointers, owning (deletes on Flush and destruction)
//                            or not.
//  - MY_TISArrayAsVector<T>: sorted pointers; equal elements keep insertion order.
// They are thin wrappers over std::vector that keep the historical growth and
// indexing rules: indexing at or past the count but below the limit extends the
// count, and indexing at or past the limit yields a spare element.
#ifndef QND_MODEL_CONTAINERS_H
#define QND_MODEL_CONTAINERS_H

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

template <class T>
class MY_TArrayAsVector {
 public:
  explicit MY_TArrayAsVector(int upper = 10, int delta = 10)
      : items_(static_cast<size_t>(std::max(upper + 1, 0))), delta_(std::max(delta, 1)) {}

  // Appends; grows by delta slots when full. Returns 1.
  int Add(const T& value) {
    if (count_ == Limit()) grow(Limit() + delta_);
    items_[static_cast<size_t>(count_++)] = value;
    return 1;
  }
  T& operator[](int i) {
    if (i < 0 || i >= Limit()) return spare_;
    if (i >= count_) count_ = i + 1;
    return items_[static_cast<size_t>(i)];
  }
  const T& operator[](int i) const {
    if (i < 0 || i >= Limit()) return spare_;
    return items_[static_cast<size_t>(i)];
  }
  int GetItemsInContainer() const { return count_; }
  int size() const { return count_; }
  int Limit() const { return static_cast<int>(items_.size()); }
  int Delta() const { return delta_; }
  // Sets the number of elements in use (the count never passes the limit).
  void SetCount(int n) {
    if (n > Limit()) grow(n);
    count_ = std::max(n, 0);
  }
  void Flush() { count_ = 0; }
  // Discards the contents and allocates n empty slots. Running out of memory here
  // ends the program, as a core array cannot be done without.
  void Reallocate(int n) {
    try {
      std::vector<T> fresh(static_cast<size_t>(std::max(n, 0)));
      items_.swap(fresh);
    } catch (const std::bad_alloc&) {
      std::exit(0);
    }
    count_ = 0;
  }
  // Ascending order.
  void quickSortArray() { std::sort(items_.begin(), items_.begin() + count_); }
  T* begin() { return items_.data(); }
  T* end() { return items_.data() + count_; }
  const T* begin() const { return items_.data(); }
  const T* end() const { return items_.data() + count_; }

 private:
  void grow(int new_limit) { items_.resize(static_cast<size_t>(new_limit)); }

  std::vector<T> items_;
  int count_ = 0;
  int delta_;
  T spare_{};
};

template <class T>
class MY_TIArrayAsVector {
 public:
  explicit MY_TIArrayAsVector(int upper = 10, int delta = 10, bool owns = true)
      : limit_(std::max(upper + 1, 0)), delta_(std::max(delta, 1)), owns_(owns ? 1 : 0) {}
  MY_TIArrayAsVector(const MY_TIArrayAsVector&) = delete;
  MY_TIArrayAsVector& operator=(const MY_TIArrayAsVector&) = delete;
  MY_TIArrayAsVector(MY_TIArrayAsVector&& other) noexcept { swap(other); }
  MY_TIArrayAsVector& operator=(MY_TIArrayAsVector&& other) noexcept {
    if (this != &other) {
      Flush();
      swap(other);
    }
    return *this;
  }
  ~MY_TIArrayAsVector() { Flush(); }

  // Appends p; returns the new count (0, with the array emptied, if growth fails).
  int Add(T* p) {
    try {
      reserve_limit();
      if (Count() == limit_) limit_ += delta_;
      items_.push_back(p);
    } catch (const std::bad_alloc&) {
      Flush();
      return 0;
    }
    return Count();
  }
  T*& operator[](int i) {
    if (i < 0 || i >= limit_) {
      spare_ = nullptr;
      return spare_;
    }
    if (i >= Count()) {
      reserve_limit();
      items_.resize(static_cast<size_t>(i) + 1, nullptr);
    }
    return items_[static_cast<size_t>(i)];
  }
  T* operator[](int i) const {
    if (i < 0 || i >= Count()) return nullptr;
    return items_[static_cast<size_t>(i)];
  }
  int GetItemsInContainer() const { return Count(); }
  int size() const { return Count(); }
  int Limit() const { return limit_; }
  int OwnsElements() const { return owns_; }
  void OwnsElements(int owns) { owns_ = owns; }

  // Empties the array, deleting the elements when it owns them.
  void Flush() {
    if (owns_) {
      for (T* p : items_) delete p;
    }
    items_.clear();
  }
  // Index of the first element that compares equal to *p, or the count.
  int Find(const T* p) const {
    for (int i = 0; i < Count(); ++i) {
      const T* q = items_[static_cast<size_t>(i)];
      if (q == p || (q != nullptr && p != nullptr && *q == *p)) return i;
    }
    return Count();
  }
  // Removes slot i without deleting its element.
  void Detach(int i) {
    if (i < 0 || i >= Count()) return;
    items_.erase(items_.begin() + i);
  }
  // Removes slot i, deleting its element when the array owns it.
  void Destroy(int i) {
    if (i < 0 || i >= Count()) return;
    if (owns_) delete items_[static_cast<size_t>(i)];
    items_.erase(items_.begin() + i);
  }
  void Reserve(int n) {
    if (n > limit_) limit_ = n;
    items_.reserve(static_cast<size_t>(std::max(n, 0)));
  }
  T** begin() { return items_.data(); }
  T** end() { return items_.data() + items_.size(); }
  T* const* begin() const { return items_.data(); }
  T* const* end() const { return items_.data() + items_.size(); }

 protected:
  int Count() const { return static_cast<int>(items_.size()); }
  std::vector<T*> items_;

 private:
  // The room for limit_ pointers is taken when the first one comes: a project
  // of thousands of loci creates thousands of lists that stay empty.
  void reserve_limit() {
    if (items_.capacity() == 0) items_.reserve(static_cast<size_t>(limit_));
  }
  void swap(MY_TIArrayAsVector& o) noexcept {
    items_.swap(o.items_);
    std::swap(limit_, o.limit_);
    std::swap(delta_, o.delta_);
    std::swap(owns_, o.owns_);
  }

  int limit_ = 11;
  int delta_ = 10;
  int owns_ = 1;
  T* spare_ = nullptr;
};

template <class T>
class MY_TISArrayAsVector : public MY_TIArrayAsVector<T> {
 public:
  using MY_TIArrayAsVector<T>::MY_TIArrayAsVector;

  // Appends, then moves the new element towards the front while it orders before
  // its predecessor; equal elements keep their order of insertion.
  int Add(T* p) {
    const int n = MY_TIArrayAsVector<T>::Add(p);
    if (n == 0) return 0;
    auto& v = this->items_;
    for (size_t i = v.size() - 1; i > 0 && *v[i] < *v[i - 1]; --i) std::swap(v[i], v[i - 1]);
    return n;
  }
};

#endif  // QND_MODEL_CONTAINERS_H
