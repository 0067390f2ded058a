#define ext_double
return argument0 * 2;
#define ext_hello
return "hello";
