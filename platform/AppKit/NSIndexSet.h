#pragma once
// Sets of row indexes, kept in order.
#include <Foundation/Foundation.h>

#include <set>

constexpr NSUInteger NSNotFound = 0x7fffffffffffffffUL;

class NSIndexSet : public NSObject
{
    NS_STANDIN_CLASS(NSIndexSet)
public:
    NSIndexSet() = default;
    // Autoreleased.
    static NSIndexSet* indexSet();
    static NSIndexSet* indexSetWithIndex(NSUInteger index);
    NSUInteger count() const { return mIndexes.size(); }
    bool containsIndex(NSUInteger index) const { return mIndexes.count(index) != 0; }
    // NSNotFound when empty or when none lies past index.
    NSUInteger firstIndex() const { return mIndexes.empty() ? NSNotFound : *mIndexes.begin(); }
    NSUInteger lastIndex() const { return mIndexes.empty() ? NSNotFound : *mIndexes.rbegin(); }
    NSUInteger indexGreaterThanIndex(NSUInteger index) const;
    const std::set<NSUInteger>& indexes() const { return mIndexes; }

protected:
    std::set<NSUInteger> mIndexes;
};

class NSMutableIndexSet : public NSIndexSet
{
    NS_STANDIN_CLASS(NSMutableIndexSet)
public:
    NSMutableIndexSet() = default;
    // Autoreleased.
    static NSMutableIndexSet* indexSet();
    void addIndex(NSUInteger index) { mIndexes.insert(index); }
    void addIndexes(const NSIndexSet* other);
    void removeIndex(NSUInteger index) { mIndexes.erase(index); }
    void removeAllIndexes() { mIndexes.clear(); }
    void removeIndexesInRange(NSUInteger location, NSUInteger length);
    // Indexes at or above index move by delta; a negative shift drops the indexes it passes
    // over (those from index + delta up to index - 1).
    void shiftIndexesStartingAtIndex(NSUInteger index, NSInteger delta);
};
