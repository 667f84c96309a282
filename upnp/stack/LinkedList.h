#pragma once

#include <cstddef>

#include "upnp/stack/StackSemaphore.h"

namespace norvale::stack {

template <typename T>
class LinkedList;

// One node of a LinkedList. Nodes are owned by their list; a pointer to a node
// stays valid until the node is removed or the list destroyed.
template <typename T>
struct ListNode {
    T data{};
    LinkedList<T>* owner = nullptr;
    ListNode* next = nullptr;
    ListNode* previous = nullptr;
};

// A doubly linked list of values (usually pointers the list never frees),
// with its own lock. The operations do not lock by themselves: whoever may
// share the list brackets them with Lock()/Unlock().
template <typename T = void*>
class LinkedList {
  public:
    using Node = ListNode<T>;

    LinkedList() = default;
    LinkedList(const LinkedList&) = delete;
    LinkedList& operator=(const LinkedList&) = delete;
    // Removes every node; the values themselves are not freed.
    ~LinkedList() {
        while (first_ != nullptr) Remove(first_);
    }

    void Lock() { lock_.Lock(); }
    void Unlock() { lock_.Unlock(); }
    StackSemaphore& Semaphore() { return lock_; }

    // First node, or null when the list is empty.
    Node* First() const { return first_; }
    Node* Last() const { return last_; }
    // The node after `node`, or null at the end.
    static Node* Next(const Node* node) { return node->next; }
    static T& Data(Node* node) { return node->data; }
    std::size_t Count() const { return count_; }
    bool IsEmpty() const { return count_ == 0; }

    // Inserts `data` before `before`; a null `before` appends. Returns the new node.
    Node* InsertBefore(Node* before, T data) {
        if (before == nullptr) return Append(data);
        Node* node = new Node{data, this, before, before->previous};
        if (before->previous != nullptr) {
            before->previous->next = node;
        } else {
            first_ = node;
        }
        before->previous = node;
        ++count_;
        return node;
    }

    // Appends `data` at the end. Returns the new node.
    Node* Append(T data) {
        Node* node = new Node{data, this, nullptr, last_};
        if (last_ != nullptr) {
            last_->next = node;
        } else {
            first_ = node;
        }
        last_ = node;
        ++count_;
        return node;
    }

    // Unlinks and frees `node`; returns the node that followed it (or null).
    Node* Remove(Node* node) {
        Node* next = node->next;
        if (node->previous != nullptr) {
            node->previous->next = next;
        } else {
            first_ = next;
        }
        if (next != nullptr) {
            next->previous = node->previous;
        } else {
            last_ = node->previous;
        }
        --count_;
        delete node;
        return next;
    }

    // Removes every node holding a value equal to `data`; returns how many.
    int RemoveAllEqual(const T& data) {
        int removed = 0;
        for (Node* node = first_; node != nullptr;) {
            if (node->data == data) {
                node = Remove(node);
                ++removed;
            } else {
                node = node->next;
            }
        }
        return removed;
    }

  private:
    StackSemaphore lock_;
    std::size_t count_ = 0;
    Node* first_ = nullptr;
    Node* last_ = nullptr;
};

// A first-in first-out queue on a LinkedList, with the list's lock.
template <typename T = void*>
class Queue {
  public:
    void Lock() { list_.Lock(); }
    void Unlock() { list_.Unlock(); }
    StackSemaphore& Semaphore() { return list_.Semaphore(); }

    bool IsEmpty() const { return list_.IsEmpty(); }
    std::size_t Count() const { return list_.Count(); }
    void Enqueue(T data) { list_.Append(data); }
    // Removes and returns the first value; a value-initialised T (null) when empty.
    T Dequeue() {
        auto* node = list_.First();
        if (node == nullptr) return T{};
        T data = node->data;
        list_.Remove(node);
        return data;
    }
    // The first value without removing it; null when empty.
    T Peek() const {
        auto* node = list_.First();
        return node == nullptr ? T{} : node->data;
    }
    // Removes every queued value equal to `data`; returns how many.
    int RemoveAllEqual(const T& data) { return list_.RemoveAllEqual(data); }
    LinkedList<T>& List() { return list_; }

  private:
    LinkedList<T> list_;
};

// A plain last-in first-out stack without a lock. An empty stack has no
// top node.
template <typename T = void*>
class Stack {
  public:
    Stack() = default;
    Stack(const Stack&) = delete;
    Stack& operator=(const Stack&) = delete;
    ~Stack() { Clear(); }

    bool IsEmpty() const { return top_ == nullptr; }
    void Push(T data) { top_ = new Node{data, top_}; }
    // Removes and returns the top value; null when empty.
    T Pop() {
        if (top_ == nullptr) return T{};
        Node* node = top_;
        T data = node->data;
        top_ = node->next;
        delete node;
        return data;
    }
    // The top value without removing it; null when empty.
    T Peek() const { return top_ == nullptr ? T{} : top_->data; }
    void Clear() {
        while (top_ != nullptr) Pop();
    }

  private:
    struct Node {
        T data;
        Node* next;
    };
    Node* top_ = nullptr;
};

}  // namespace norvale::stack
