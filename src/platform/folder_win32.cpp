// Windows side: to be written.
namespace stowra {}
