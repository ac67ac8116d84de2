#pragma once
/// @class CList
/// A doubly linked list with the application framework's
/// POSITION iteration. A POSITION names a node and stays valid until that node
/// is removed. Copies are deep.
#include <zep3/platform/WinTypes.h>

template <class TYPE, class ARG_TYPE = const TYPE&> class CList {
    struct Node {
        Node* next;
        Node* prev;
        TYPE data;
    };

public:
    ///@{
    /// An empty list, or a deep copy of another.
    CList() = default;
    CList(const CList& other) { AddTail(&other); }
    CList& operator=(const CList& other) {
        if (this != &other) {
            RemoveAll();
            AddTail(&other);
        }
        return *this;
    }
    ///@}
    ~CList() { RemoveAll(); }

    ///@{
    /// The number of entries.
    INT_PTR GetCount() const { return m_count; }
    INT_PTR GetSize() const { return m_count; }
    ///@}
    /// True when the list has no entries.
    bool IsEmpty() const { return m_count == 0; }

    ///@{
    /// The first or last entry; the list must not be empty.
    TYPE& GetHead() { return m_head->data; }
    const TYPE& GetHead() const { return m_head->data; }
    TYPE& GetTail() { return m_tail->data; }
    const TYPE& GetTail() const { return m_tail->data; }
    ///@}

    ///@{
    /// Adds an entry at the front or the back; returns its position.
    POSITION AddHead(ARG_TYPE e) { return insert(nullptr, m_head, e); }
    POSITION AddTail(ARG_TYPE e) { return insert(m_tail, nullptr, e); }
    ///@}
    ///@{
    /// Adds copies of another list's entries at the back (in order) or the front
    /// (keeping their order); a null list or the list itself adds nothing.
    void AddTail(const CList* other) {
        if (!other || other == this) return;
        for (Node* n = other->m_head; n; n = n->next) AddTail(n->data);
    }
    void AddHead(const CList* other) {
        if (!other || other == this) return;
        for (Node* n = other->m_tail; n; n = n->prev) AddHead(n->data);
    }
    ///@}
    /// Removing from an empty list is the caller's error; it returns a default value.
    TYPE RemoveHead() { return take(m_head); }
    TYPE RemoveTail() { return take(m_tail); }
    /// Removes every entry; every position becomes invalid.
    void RemoveAll() {
        while (m_head) unlink(m_head);
    }

    ///@{
    /// The position of the first or last entry; null for an empty list.
    POSITION GetHeadPosition() const { return pos(m_head); }
    POSITION GetTailPosition() const { return pos(m_tail); }
    ///@}
    ///@{
    /// The entry at p; p moves to the next (or previous) entry, null past the end.
    TYPE& GetNext(POSITION& p) { Node* n = node(p); p = pos(n->next); return n->data; }
    const TYPE& GetNext(POSITION& p) const { Node* n = node(p); p = pos(n->next); return n->data; }
    TYPE& GetPrev(POSITION& p) { Node* n = node(p); p = pos(n->prev); return n->data; }
    const TYPE& GetPrev(POSITION& p) const { Node* n = node(p); p = pos(n->prev); return n->data; }
    ///@}
    ///@{
    /// The entry at a valid position.
    TYPE& GetAt(POSITION p) { return node(p)->data; }
    const TYPE& GetAt(POSITION p) const { return node(p)->data; }
    ///@}
    /// Replaces the entry at a valid position.
    void SetAt(POSITION p, ARG_TYPE e) { node(p)->data = e; }
    /// Removes the entry at p (null does nothing); p becomes invalid.
    void RemoveAt(POSITION p) {
        if (p) unlink(node(p));
    }
    ///@{
    /// Inserts next to the entry at p (null: at the front or the back); returns
    /// the new entry's position.
    POSITION InsertBefore(POSITION p, ARG_TYPE e) {
        return p ? insert(node(p)->prev, node(p), e) : AddHead(e);
    }
    POSITION InsertAfter(POSITION p, ARG_TYPE e) {
        return p ? insert(node(p), node(p)->next, e) : AddTail(e);
    }
    ///@}
    /// The position of the first entry equal to value after startAfter (from the
    /// front when null); null when there is none.
    POSITION Find(ARG_TYPE value, POSITION startAfter = nullptr) const {
        for (Node* n = startAfter ? node(startAfter)->next : m_head; n; n = n->next)
            if (n->data == value) return pos(n);
        return nullptr;
    }
    /// The position of the entry at a zero-based index; null when out of range.
    POSITION FindIndex(INT_PTR index) const {
        if (index < 0 || index >= m_count) return nullptr;
        Node* n = m_head;
        while (index--) n = n->next;
        return pos(n);
    }

private:
    static POSITION pos(Node* n) { return reinterpret_cast<POSITION>(n); }
    static Node* node(POSITION p) { return reinterpret_cast<Node*>(p); }

    POSITION insert(Node* prev, Node* next, ARG_TYPE e) {
        Node* n = new Node{next, prev, TYPE(e)};
        (prev ? prev->next : m_head) = n;
        (next ? next->prev : m_tail) = n;
        ++m_count;
        return pos(n);
    }
    void unlink(Node* n) {
        (n->prev ? n->prev->next : m_head) = n->next;
        (n->next ? n->next->prev : m_tail) = n->prev;
        --m_count;
        delete n;
    }
    TYPE take(Node* n) {
        if (!n) return TYPE();
        TYPE value(n->data);
        unlink(n);
        return value;
    }

    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    INT_PTR m_count = 0;
};
