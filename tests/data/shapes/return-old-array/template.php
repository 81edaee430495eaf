<?php
/**
 * Message translations.
 *
 * Each array element is a pair of the source message and its translation; an empty
 * translation means the message is shown as it is written.
 */
return array (
  'Hello, {name}!' => '',
  'Don\'t have an account?' => '',
  'Sign up' => '',
  '{attribute} cannot be blank.' => '',
  'Path must not end in \\' => '',
  "Page {n} of {count}" => '',
  'n==1#one item|n>1#{n} items' => '',
);
