namespace framework {}
