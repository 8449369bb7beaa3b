// A float array whose copies share one storage until one of them is changed.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

// Every game object holds its own copy of its mesh's vertex arrays, and nothing changes them
// after loading. Sharing the storage keeps that value behaviour while an asteroid spawned
// every third of a second no longer allocates and fills a few hundred kilobytes, and a
// hundred of them no longer keep a hundred copies of the same data resident.
class SharedFloats {
public:
    using const_iterator = std::vector<float>::const_iterator;

    SharedFloats() = default;
    SharedFloats(std::initializer_list<float> values)
        : storage(std::make_shared<std::vector<float>>(values)) {}
    SharedFloats& operator=(std::initializer_list<float> values)
    {
        storage = std::make_shared<std::vector<float>>(values);
        return *this;
    }

    // Read access in the vector's own terms, so callers that only read need not change.
    const std::vector<float>& get() const { return storage ? *storage : none(); }
    operator const std::vector<float>&() const { return get(); }
    std::size_t size() const { return get().size(); }
    bool empty() const { return get().empty(); }
    const float* data() const { return get().data(); }
    float operator[](std::size_t index) const { return get()[index]; }
    const_iterator begin() const { return get().begin(); }
    const_iterator end() const { return get().end(); }

    // Changes detach this copy first; the others keep what they had.
    void assign(std::size_t count, float value)
    {
        storage = std::make_shared<std::vector<float>>(count, value);
    }
    template <typename... Values>
    void insert(const_iterator where, Values&&... values)
    {
        const auto offset = where - begin(); // before detaching, which moves the storage
        std::vector<float>& own = detached();
        own.insert(own.begin() + offset, std::forward<Values>(values)...);
    }
    void insert(const_iterator where, std::initializer_list<float> values)
    {
        insert<std::initializer_list<float>>(where, std::move(values));
    }
    void reserve(std::size_t count) { detached().reserve(count); }

private:
    static const std::vector<float>& none()
    {
        static const std::vector<float> empty;
        return empty;
    }
    std::vector<float>& detached()
    {
        if (!storage)
            storage = std::make_shared<std::vector<float>>();
        else if (storage.use_count() > 1)
            storage = std::make_shared<std::vector<float>>(*storage);
        return *storage;
    }

    std::shared_ptr<std::vector<float>> storage;
};
