<?php
/**
 * Message translations.
 *
 * Each array element is a pair of the source message and its translation; an empty
 * translation means the message is shown as it is written.
 *
 * Traduction française : Claire Robert, 2012
 */
return array (
  'Hello, {name}!' => 'Bonjour, {name} !',
  'Don\'t have an account?' => 'Pas encore de compte ?',
  'Sign up' => 'S\'inscrire',
  '{attribute} cannot be blank.' => '{attribute} ne peut pas être vide.',
  'Path must not end in \\' => 'Le chemin ne doit pas finir par \\',
  "Page {n} of {count}" => '',
  'n==1#one item|n>1#{n} items' => 'n==1#un élément|n>1#{n} éléments',
);
