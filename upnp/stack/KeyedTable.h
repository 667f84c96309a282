#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "upnp/stack/StackSemaphore.h"

namespace norvale::stack {

// The 32-bit key hash. Key bytes are read as little-endian words; with
// `ignoreCase` every byte 'A'..'Z' first gets 32 added. Length <= 4: the
// bytes in a zeroed word; 5..9: first word XOR last word; >= 10: that, XOR
// the word starting at length / 2.
std::uint32_t KeyHash(const char* key, std::size_t length, bool ignoreCase);

// True when the two keys of equal `length` are equal (ASCII case ignored
// when `ignoreCase`).
bool KeysEqual(const char* a, const char* b, std::size_t length, bool ignoreCase);

// A table from byte-string keys to values (usually pointers the table never
// frees) plus an integer "extra" per entry. Entries keep insertion order;
// putting an existing key replaces its value in place. A key of length 0 is
// never found and never created. The operations do not lock by themselves:
// sharers bracket them with Lock()/Unlock().
template <typename V = void*>
class KeyedTable {
  public:
    struct Entry {
        Entry* next = nullptr;
        Entry* previous = nullptr;
        std::uint32_t hash = 0;
        char* key = nullptr;  // private NUL-terminated copy
        std::size_t keyLength = 0;
        V value{};
        int extra = 0;
    };

    // Forward enumeration in insertion order. Created on the sentinel:
    // call MoveNext() before reading the first entry.
    class Enumerator {
      public:
        explicit Enumerator(const KeyedTable& table) : current_(&table.sentinel_) {}
        // Returns true when it has run past the last entry.
        bool MoveNext() {
            if (current_ != nullptr) current_ = current_->next;
            return current_ == nullptr;
        }
        const char* Key() const { return current_->key; }
        std::size_t KeyLength() const { return current_->keyLength; }
        V Value() const { return current_->value; }
        int Extra() const { return current_->extra; }

      private:
        const Entry* current_;
    };

    explicit KeyedTable(bool caseInsensitive = false) : ignoreCase_(caseInsensitive) {}
    KeyedTable(const KeyedTable&) = delete;
    KeyedTable& operator=(const KeyedTable&) = delete;
    // Frees every entry and key copy; values are untouched.
    ~KeyedTable() { Clear(); }

    void Lock() { lock_.Lock(); }
    void Unlock() { lock_.Unlock(); }
    StackSemaphore& Semaphore() { return lock_; }
    bool IsCaseInsensitive() const { return ignoreCase_; }

    bool Has(const char* key, std::size_t length) const { return Find(key, length) != nullptr; }

    // Creates the entry when missing (not for an empty key), then sets value and extra.
    void Put(const char* key, std::size_t length, V value, int extra = 0) {
        Entry* entry = FindOrCreate(key, length);
        if (entry == nullptr) return;
        entry->value = value;
        entry->extra = extra;
    }

    // The value, or a value-initialised V (null) when missing.
    V Get(const char* key, std::size_t length) const {
        const Entry* entry = Find(key, length);
        return entry == nullptr ? V{} : entry->value;
    }

    // Value and extra of the entry; both zero/null when missing. Returns
    // whether the key was found.
    bool GetWithExtra(const char* key, std::size_t length, V* value, int* extra) const {
        const Entry* entry = Find(key, length);
        *value = entry == nullptr ? V{} : entry->value;
        *extra = entry == nullptr ? 0 : entry->extra;
        return entry != nullptr;
    }

    // Unlinks and frees the entry and its key copy; the value is untouched.
    void Remove(const char* key, std::size_t length) {
        Entry* entry = Find(key, length);
        if (entry == nullptr) return;
        entry->previous->next = entry->next;
        if (entry->next != nullptr) {
            entry->next->previous = entry->previous;
        } else {
            last_ = entry->previous;
        }
        Free(entry);
        --count_;
    }

    void Clear() {
        for (Entry* entry = sentinel_.next; entry != nullptr;) {
            Entry* next = entry->next;
            Free(entry);
            entry = next;
        }
        sentinel_.next = nullptr;
        last_ = &sentinel_;
        count_ = 0;
    }

    std::size_t Count() const { return count_; }
    Enumerator Enumerate() const { return Enumerator(*this); }

  private:
    Entry* Find(const char* key, std::size_t length) const {
        if (length == 0) return nullptr;
        return Find(key, length, KeyHash(key, length, ignoreCase_));
    }

    Entry* Find(const char* key, std::size_t length, std::uint32_t hash) const {
        for (Entry* entry = sentinel_.next; entry != nullptr; entry = entry->next) {
            if (entry->hash == hash && entry->keyLength == length &&
                KeysEqual(entry->key, key, length, ignoreCase_)) {
                return entry;
            }
        }
        return nullptr;
    }

    Entry* FindOrCreate(const char* key, std::size_t length) {
        if (length == 0) return nullptr;
        const std::uint32_t hash = KeyHash(key, length, ignoreCase_);
        if (Entry* existing = Find(key, length, hash)) return existing;
        auto* entry = new Entry;
        entry->hash = hash;
        entry->key = new char[length + 1];
        std::memcpy(entry->key, key, length);
        entry->key[length] = '\0';
        entry->keyLength = length;
        entry->previous = last_;
        last_->next = entry;
        last_ = entry;
        ++count_;
        return entry;
    }

    static void Free(Entry* entry) {
        delete[] entry->key;
        delete entry;
    }

    mutable Entry sentinel_;
    Entry* last_ = &sentinel_;
    std::size_t count_ = 0;
    bool ignoreCase_;
    StackSemaphore lock_;
};

}  // namespace norvale::stack
