#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "upnp/stack/StackSemaphore.h"
#include "upnp/stack/TextParse.h"

namespace norvale::stack {

// The 32-bit key hash. Key bytes are read as little-endian words; with
// `ignoreCase` every byte 'A'..'Z' first gets 32 added. Length <= 4: the
// bytes in a zeroed word; 5..9: first word XOR last word; >= 10: that, XOR
// the word starting at length / 2.
std::uint32_t KeyHash(const char* key, std::size_t length, bool ignoreCase);

// The hash that places a key in a table's bucket index: every byte (folded
// like KeyHash) mixed with a seed drawn once per process, so keys from the
// network cannot be chosen to share a bucket the way they can share a KeyHash.
std::uint64_t KeyIndexHash(const char* key, std::size_t length, bool ignoreCase);

// A table from byte-string keys to values (usually pointers the table never
// frees) plus an integer "extra" per entry. Entries keep insertion order;
// putting an existing key replaces its value in place. A key of length 0 is
// never found and never created. The operations do not lock by themselves:
// sharers bracket them with Lock()/Unlock().
// Lookups take constant time: small tables (a packet's headers) are scanned,
// and from kIndexFrom entries on a bucket index beside the ordered list finds
// a key (one bucket per entry at least, doubled as the table grows).
template <typename V = void*>
class KeyedTable {
  public:
    struct Entry {
        Entry* next = nullptr;
        Entry* previous = nullptr;
        Entry* bucketNext = nullptr;  // next entry of the same bucket
        std::uint32_t hash = 0;       // KeyHash
        std::uint64_t indexHash = 0;  // KeyIndexHash, once the index exists
        char* key = nullptr;          // private NUL-terminated copy
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

    static constexpr std::size_t kIndexFrom = 16;

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
        if (buckets_ != nullptr) Unindex(entry);
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
        buckets_.reset();
        bucketCount_ = 0;
    }

    std::size_t Count() const { return count_; }
    Enumerator Enumerate() const { return Enumerator(*this); }

  private:
    Entry* Find(const char* key, std::size_t length) const {
        if (length == 0) return nullptr;
        if (buckets_ != nullptr) return FindIndexed(key, length, Index(key, length));
        const std::uint32_t hash = KeyHash(key, length, ignoreCase_);
        for (Entry* entry = sentinel_.next; entry != nullptr; entry = entry->next) {
            if (entry->hash == hash && Matches(entry, key, length)) return entry;
        }
        return nullptr;
    }

    Entry* FindIndexed(const char* key, std::size_t length, std::uint64_t index) const {
        for (Entry* entry = buckets_[index & (bucketCount_ - 1)]; entry != nullptr;
             entry = entry->bucketNext) {
            if (entry->indexHash == index && Matches(entry, key, length)) return entry;
        }
        return nullptr;
    }

    bool Matches(const Entry* entry, const char* key, std::size_t length) const {
        if (entry->keyLength != length) return false;
        return ignoreCase_ ? EqualsIgnoringCase({entry->key, length}, {key, length})
                           : std::memcmp(entry->key, key, length) == 0;
    }

    std::uint64_t Index(const char* key, std::size_t length) const {
        return KeyIndexHash(key, length, ignoreCase_);
    }

    Entry* FindOrCreate(const char* key, std::size_t length) {
        if (Entry* existing = Find(key, length)) return existing;
        if (length == 0) return nullptr;
        auto* entry = new Entry;
        entry->hash = KeyHash(key, length, ignoreCase_);
        entry->key = CopyText({key, length});
        entry->keyLength = length;
        entry->previous = last_;
        last_->next = entry;
        last_ = entry;
        ++count_;
        if (buckets_ != nullptr) {
            entry->indexHash = Index(key, length);
            if (count_ > bucketCount_) {
                Rebuild(bucketCount_ * 2);
            } else {
                Link(entry);
            }
        } else if (count_ >= kIndexFrom) {
            for (Entry* e = sentinel_.next; e != nullptr; e = e->next)
                e->indexHash = Index(e->key, e->keyLength);
            Rebuild(kIndexFrom * 2);
        }
        return entry;
    }

    // Places every entry in a fresh index of `buckets` (a power of two).
    void Rebuild(std::size_t buckets) {
        buckets_ = std::make_unique<Entry*[]>(buckets);
        bucketCount_ = buckets;
        for (Entry* entry = sentinel_.next; entry != nullptr; entry = entry->next) Link(entry);
    }

    void Link(Entry* entry) {
        Entry*& head = buckets_[entry->indexHash & (bucketCount_ - 1)];
        entry->bucketNext = head;
        head = entry;
    }

    void Unindex(Entry* entry) {
        Entry** link = &buckets_[entry->indexHash & (bucketCount_ - 1)];
        while (*link != entry) link = &(*link)->bucketNext;
        *link = entry->bucketNext;
    }

    static void Free(Entry* entry) {
        std::free(entry->key);
        delete entry;
    }

    mutable Entry sentinel_;
    Entry* last_ = &sentinel_;
    std::size_t count_ = 0;
    std::unique_ptr<Entry*[]> buckets_;  // null below kIndexFrom entries
    std::size_t bucketCount_ = 0;
    bool ignoreCase_;
    StackSemaphore lock_;
};

}  // namespace norvale::stack
