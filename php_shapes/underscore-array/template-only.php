<?php
// Heading
$_['heading_title']    = 'Shopping Cart';

// Text
$_['text_success']     = 'Success: you have added <a href="%s">%s</a> to your <a href="%s">shopping cart</a>!';
$_['text_remove']      = 'Success: you have changed your shopping cart!';
$_['text_empty']       = 'Your shopping cart is empty!';
$_['text_items']       = '%s item(s) - %s';

// Column
$_['column_name']      = 'Product Name';
$_['column_quantity']  = 'Quantity';

// Error
$_['error_stock']      = 'Products marked with *** are not available in the desired quantity!';
$_['error_minimum']    = "Minimum order amount for %s is %s!";
