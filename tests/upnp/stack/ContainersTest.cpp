#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "upnp/stack/KeyedTable.h"
#include "upnp/stack/LinkedList.h"

using namespace norvale::stack;

namespace {

void* P(std::intptr_t v) {
    return reinterpret_cast<void*>(v);
}

std::vector<std::string> Keys(const KeyedTable<>& table) {
    std::vector<std::string> keys;
    auto e = table.Enumerate();
    while (!e.MoveNext()) keys.emplace_back(e.Key(), e.KeyLength());
    return keys;
}

}  // namespace

TEST(KeyedTable, CaseInsensitiveTableFindsOtherCaseExactOneDoesNot) {
    KeyedTable<> loose(true), exact(false);
    loose.Put("Content-Length", 14, P(1));
    exact.Put("Content-Length", 14, P(1));
    EXPECT_EQ(loose.Get("content-length", 14), P(1));
    EXPECT_EQ(loose.Get("CONTENT-LENGTH", 14), P(1));
    EXPECT_EQ(exact.Get("content-length", 14), nullptr);
    EXPECT_EQ(exact.Get("Content-Length", 14), P(1));
}

TEST(KeyedTable, CaseFoldingTouchesOnlyAsciiLetters) {
    KeyedTable<> loose(true);
    loose.Put("a[", 2, P(1));  // '[' is 'A'+26: must not fold into '{'
    EXPECT_EQ(loose.Get("a{", 2), nullptr);
    EXPECT_EQ(loose.Get("A[", 2), P(1));
}

TEST(KeyedTable, KeysDifferingOnlyByTrailingNulAreDistinct) {
    KeyedTable<> table;
    table.Put("key", 3, P(1));
    table.Put("key\0", 4, P(2));
    EXPECT_EQ(table.Count(), 2u);
    EXPECT_EQ(table.Get("key", 3), P(1));
    EXPECT_EQ(table.Get("key\0", 4), P(2));
}

TEST(KeyedTable, PutExistingKeyReplacesValueInPlace) {
    KeyedTable<> table;
    table.Put("first", 5, P(1), 10);
    table.Put("second", 6, P(2));
    table.Put("first", 5, P(3), 30);
    EXPECT_EQ(Keys(table), (std::vector<std::string>{"first", "second"}));
    void* value = nullptr;
    int extra = 0;
    EXPECT_TRUE(table.GetWithExtra("first", 5, &value, &extra));
    EXPECT_EQ(value, P(3));
    EXPECT_EQ(extra, 30);
}

TEST(KeyedTable, EmptyKeyIsNeverCreatedNorFound) {
    KeyedTable<> table;
    table.Put("", 0, P(1));
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_FALSE(table.Has("", 0));
    void* value = P(9);
    int extra = 9;
    EXPECT_FALSE(table.GetWithExtra("x", 1, &value, &extra));
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(extra, 0);
}

TEST(KeyedTable, RemoveKeepsOrderOfTheRestAndAllowsReinsertAtEnd) {
    KeyedTable<> table;
    for (const char* key : {"a", "b", "c"}) table.Put(key, 1, P(1));
    table.Remove("b", 1);
    table.Remove("c", 1);  // the last entry: the tail must move back
    table.Put("d", 1, P(4));
    table.Put("b", 1, P(2));
    EXPECT_EQ(Keys(table), (std::vector<std::string>{"a", "d", "b"}));
}

TEST(KeyedTable, LargeTableKeepsEveryRuleOfASmallOne) {
    // Past the size where the bucket index takes over, checked against a
    // plain ordered model after each step.
    KeyedTable<> table(true);
    std::vector<std::pair<std::string, std::intptr_t>> model;
    auto check = [&] {
        ASSERT_EQ(table.Count(), model.size());
        std::vector<std::string> keys;
        for (const auto& [key, value] : model) {
            keys.push_back(key);
            std::string other = key;
            for (char& c : other) c = static_cast<char>(std::tolower(c));
            EXPECT_EQ(table.Get(other.data(), other.size()), P(value)) << key;
        }
        EXPECT_EQ(Keys(table), keys);
    };
    for (int n = 0; n < 3000; ++n) {
        const std::string key = "Key-" + std::to_string(n);
        table.Put(key.data(), key.size(), P(n + 1), n);
        model.emplace_back(key, n + 1);
        if (n < 40) check();  // every step while the index is built
    }
    check();
    // Replacing keeps the place; the extra goes with the value.
    table.Put("KEY-7", 5, P(-7), 77);
    model[7].second = -7;
    void* value = nullptr;
    int extra = 0;
    EXPECT_TRUE(table.GetWithExtra("key-7", 5, &value, &extra));
    EXPECT_EQ(extra, 77);
    // Removing (the last entry too) keeps the order; a put comes back at the end.
    for (int n = 2999; n >= 0; n -= 3) {
        const std::string key = "Key-" + std::to_string(n);
        table.Remove(key.data(), key.size());
        std::erase_if(model, [&](const auto& entry) { return entry.first == key; });
    }
    table.Put("Key-2999", 8, P(5));
    model.emplace_back("Key-2999", 5);
    check();
    EXPECT_FALSE(table.Has("Key-2", 6));
    EXPECT_FALSE(table.Has("Key-1\0", 6));  // length counts
    table.Put("", 0, P(1));
    EXPECT_EQ(table.Count(), model.size());
    // Emptied one by one, then cleared: the table works on as new.
    for (const auto& [key, ignored] : model) table.Remove(key.data(), key.size());
    model.clear();
    check();
    for (int n = 0; n < 100; ++n) {
        const std::string key = std::to_string(n);
        table.Put(key.data(), key.size(), P(n + 1));
    }
    table.Clear();
    table.Put("a", 1, P(1));
    model.emplace_back("a", 1);
    check();
}

TEST(KeyedTable, HashFollowsTheWordRulesForEachLengthBand) {
    // <= 4 bytes: the bytes in one little-endian word.
    EXPECT_EQ(KeyHash("ab", 2, false), 0x6261u);
    // 5..9: first word XOR last word ("abcde": "abcd" ^ "bcde").
    EXPECT_EQ(KeyHash("abcde", 5, false), 0x64636261u ^ 0x65646362u);
    // >= 10: also XOR the word at length / 2.
    const char* ten = "0123456789";
    std::uint32_t w0, w6, w5;
    std::memcpy(&w0, ten, 4);
    std::memcpy(&w6, ten + 6, 4);
    std::memcpy(&w5, ten + 5, 4);
    EXPECT_EQ(KeyHash(ten, 10, false), w0 ^ w6 ^ w5);
    EXPECT_EQ(KeyHash("HOST", 4, true), KeyHash("host", 4, false));
}

TEST(LinkedList, RemoveAllEqualRemovesEveryCopy) {
    LinkedList<> list;
    list.Append(P(1));
    list.Append(P(2));
    list.Append(P(1));
    EXPECT_EQ(list.RemoveAllEqual(P(1)), 2);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.First()->data, P(2));
    EXPECT_EQ(list.Last(), list.First());
}

TEST(LinkedList, InsertBeforeFirstBecomesHeadAndRemoveReturnsFollower) {
    LinkedList<> list;
    auto* b = list.Append(P(2));
    auto* a = list.InsertBefore(b, P(1));
    EXPECT_EQ(list.First(), a);
    EXPECT_EQ(LinkedList<>::Next(a), b);
    EXPECT_EQ(list.Remove(a), b);
    EXPECT_EQ(list.Remove(b), nullptr);
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
}

TEST(QueueAndStack, EmptyContainersGiveNull) {
    Queue<> queue;
    Stack<> stack;
    EXPECT_EQ(queue.Dequeue(), nullptr);
    EXPECT_EQ(queue.Peek(), nullptr);
    EXPECT_EQ(stack.Pop(), nullptr);
    EXPECT_EQ(stack.Peek(), nullptr);
}

TEST(QueueAndStack, QueueIsFirstInFirstOutStackLastInFirstOut) {
    Queue<> queue;
    Stack<> stack;
    for (std::intptr_t i = 1; i <= 3; ++i) {
        queue.Enqueue(P(i));
        stack.Push(P(i));
    }
    EXPECT_EQ(queue.Dequeue(), P(1));
    EXPECT_EQ(queue.Peek(), P(2));
    EXPECT_EQ(stack.Pop(), P(3));
    EXPECT_EQ(stack.Peek(), P(2));
    stack.Clear();
    EXPECT_TRUE(stack.IsEmpty());
}
